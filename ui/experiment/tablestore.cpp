#include "experiment/tablestore.h"

#include <algorithm>

#include <QLineEdit>
#include <QSettings>

#include "common/settings.h"
#include "experiment/configurationtable.h"
#include "experiment/runpanel.h"

namespace kelvora::ui {

namespace {

constexpr char kRowsKey[] = "experiment/table/rows";
constexpr char kSeedsKey[] = "experiment/table/seeds";
constexpr char kTargetsKey[] = "experiment/table/targets";
constexpr char kEpsilonKey[] = "experiment/table/epsilon";

}  // namespace

void SaveTable(const ConfigurationTable& table, const RunPanel& fields) {
    QSettings settings = AppSettings();
    settings.remove(QLatin1String(kRowsKey));
    settings.beginWriteArray(QLatin1String(kRowsKey), table.rowCount());
    for (int row = 0; row < table.rowCount(); ++row) {
        settings.setArrayIndex(row);
        settings.setValue(QStringLiteral("cells"), table.rowCells(row));
    }
    settings.endArray();
    settings.setValue(QLatin1String(kSeedsKey), fields.seeds()->text());
    settings.setValue(QLatin1String(kTargetsKey), fields.targets()->text());
    settings.setValue(QLatin1String(kEpsilonKey), fields.epsilon()->text());
}

void RestoreTable(ConfigurationTable& table, RunPanel& fields, int maxRows) {
    QSettings settings = AppSettings();
    if (!settings.childGroups().contains(QStringLiteral("experiment")) || !settings.contains(QLatin1String(kSeedsKey)))
        return;  // never kept: the fields' defaults
    const int rows = std::min(settings.beginReadArray(QLatin1String(kRowsKey)), maxRows);
    for (int row = 0; row < rows; ++row) {
        settings.setArrayIndex(row);
        const QStringList cells = settings.value(QStringLiteral("cells")).toStringList();
        if (cells.size() == ConfigurationTable::kColumns) table.addRow(cells);
    }
    settings.endArray();
    fields.seeds()->setText(settings.value(QLatin1String(kSeedsKey)).toString());
    fields.targets()->setText(settings.value(QLatin1String(kTargetsKey), fields.targets()->text()).toString());
    fields.epsilon()->setText(settings.value(QLatin1String(kEpsilonKey), fields.epsilon()->text()).toString());
}

}  // namespace kelvora::ui
