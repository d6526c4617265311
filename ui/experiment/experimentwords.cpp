#include "experiment/experimentwords.h"

#include <set>

#include <QLabel>
#include <QStringList>

#include "experiment/configurationtable.h"
#include "experiment/experimentwindow.h"
#include "session/sweep_targets.h"

namespace kelvora::ui {

namespace ex = kelvora::experiment;

QString ListWords(const ex::ListFault& fault) {
    const QString value = QString::fromStdString(fault.value);
    using F = ex::ListFault;
    switch (fault.kind) {
    case F::none: return {};
    case F::empty: return ExperimentWindow::tr("空です");
    case F::emptyItem: return ExperimentWindow::tr("空の項目があります (%1)").arg(value);
    case F::notSeed: return ExperimentWindow::tr("%1 は 0 から 4294967295 までのシードか範囲 A..B ではありません").arg(value);
    case F::reversed: return ExperimentWindow::tr("範囲 %1 にシードがありません").arg(value);
    case F::seedTwice: return ExperimentWindow::tr("シード %1 が 2 回あります").arg(value);
    case F::tooManySeeds: return ExperimentWindow::tr("シードが %1 個あります: %2 個までです").arg(value).arg(ex::kMaxSeeds);
    case F::notTarget: return ExperimentWindow::tr("%1 は -199 から 199 までの整数の組 x,y ではありません").arg(value);
    case F::targetTwice: return ExperimentWindow::tr("目標点 %1 が 2 回あります").arg(value);
    case F::notRandom:
        return ExperimentWindow::tr("%1 は K が 1 から %2 までの random:K ではありません").arg(value).arg(kelvora::session::kMaxRandomTargets);
    case F::randomTwice: return ExperimentWindow::tr("random:K は 1 つだけ書けます (%1)").arg(value);
    case F::drawnGiven: return ExperimentWindow::tr("引いた目標点 %1 が、書かれた目標点にもあります").arg(value);
    }
    return {};
}

QString ExperimentFaultWords(const ex::ExperimentFault& fault) {
    const QString path = QString::fromStdString(fault.path);
    const QString value = QString::fromStdString(fault.value);
    const QString expected = QString::fromStdString(fault.expected);
    const QString detail = QString::fromStdString(fault.detail);
    using F = ex::ExperimentFault;
    switch (fault.kind) {
    case F::none: return {};
    case F::unreadable: return ExperimentWindow::tr("読めません (%1)").arg(detail);
    case F::notJson: return ExperimentWindow::tr("JSON ではありません (%1)").arg(detail);
    case F::notExperiment: return ExperimentWindow::tr("実験ファイルではありません (\"format\": \"%1\" がありません)").arg(QLatin1String(ex::kFormat));
    case F::version: return ExperimentWindow::tr("版 %1 は読めません (読めるのは %2 です)").arg(value).arg(ex::kVersion);
    case F::unknownKey: return ExperimentWindow::tr("%1: 知らないキーです").arg(path);
    case F::missing: return ExperimentWindow::tr("%1: このキーが要ります").arg(path);
    case F::wrongType: return ExperimentWindow::tr("%1: %2 ではなく %3 を書いてください").arg(path, value, expected);
    case F::outOfRange: return ExperimentWindow::tr("%1: %2 が範囲 %3 の外です").arg(path, value, expected);
    case F::badValue: return ExperimentWindow::tr("%1: %2 は使えません (%3)").arg(path, value, detail);
    case F::algorithm: return path + QStringLiteral(": ") + ConfigurationTable::AlgorithmFaultText(fault.algorithmFault);
    case F::list: return path + QStringLiteral(": ") + ListWords(fault.listFault);
    case F::problem: return ExperimentWindow::tr("%1: 解けるのはリンク 60, 100, 40 の腕だけです (%2)").arg(path, value);
    case F::sameConfiguration: return ExperimentWindow::tr("%1: %2 と同じ構成です").arg(path, value);
    case F::sameLabel: return ExperimentWindow::tr("%1: ラベル %2 が 2 回あります").arg(path, value);
    case F::noBaseline: return ExperimentWindow::tr("%1: 基準 %2 はどの構成のラベルでもありません").arg(path, value);
    }
    return {};
}

QString FieldFaultWords(const ex::FieldFault& fault) {
    using Field = ex::FieldFault::Field;
    switch (fault.field) {
    case Field::none: return {};
    case Field::seeds: return ExperimentWindow::tr("シード: %1").arg(ListWords(fault.list));
    case Field::targets: return ExperimentWindow::tr("目標点: %1").arg(ListWords(fault.list));
    case Field::noTarget: return ExperimentWindow::tr("目標点を入力してください。");
    case Field::epsilon: return ExperimentWindow::tr("ε: 0 より大きく 1000 以下の数値を入力してください。");
    }
    return {};
}

namespace {

// A plan's fault; the ranges were held field by field already.
QString PlanFaultWords(const kelvora::session::SweepPlanFault& fault) {
    using Fault = kelvora::session::SweepPlanFault;
    const QString value = QString::fromStdString(fault.value);
    if (fault.kind == Fault::twice && fault.flag == "--seeds") return ExperimentWindow::tr("シード %1 が 2 回あります。").arg(value);
    if (fault.kind == Fault::twice && fault.flag == "--target")
        return ExperimentWindow::tr("目標点 %1 が 2 回あります。").arg(value);
    if (fault.kind == Fault::tooMany)
        return ExperimentWindow::tr("シードが %1 個あります: %2 個までです。").arg(value).arg(kelvora::session::kMaxSweepSeeds);
    if (fault.kind == Fault::algorithm) return ConfigurationTable::AlgorithmFaultText(fault.algorithmFault);
    return QString::fromStdString(kelvora::session::SweepPlanFaultText(fault));
}

}  // namespace

QString RunFaultWords(const ex::RunFault& fault) {
    switch (fault.kind) {
    case ex::RunFault::Kind::none: return {};
    case ex::RunFault::Kind::fields: return FieldFaultWords(fault.field);
    case ex::RunFault::Kind::plan: return PlanFaultWords(fault.plan);
    case ex::RunFault::Kind::tooMany:
        return ExperimentWindow::tr("値の一覧を展開すると構成が %1 個になります: %2 個までです。").arg(fault.count).arg(fault.limit);
    }
    return {};
}

void AddNoteLine(QLabel* note, const QString& line) {
    note->setText(note->isVisible() ? note->text() + QLatin1Char('\n') + line : line);
    note->show();
}

QString DuplicateRowsWords(const std::vector<std::pair<int, int>>& pairs) {
    QStringList words;
    for (const auto& [a, b] : pairs) words << ExperimentWindow::tr("%1 行目と %2 行目").arg(a).arg(b);
    return ExperimentWindow::tr("同じ構成の行があります: %1。どちらかを変えるか削除してください。")
        .arg(words.join(ExperimentWindow::tr("、")));
}

QString RunsEachWords(const std::vector<std::size_t>& runs, bool cancelled) {
    // After 中止 every configuration has run the same seeds (whole rounds).
    const std::set<std::size_t> counts(runs.begin(), runs.end());
    if (counts.size() == 1)
        return cancelled ? ExperimentWindow::tr("各構成 %1 回 (中止)").arg(*counts.begin())
                         : ExperimentWindow::tr("各構成 %1 回").arg(*counts.begin());
    return runs.empty() ? QString() : ExperimentWindow::tr("構成ごとの実行数は「実行数」の列のとおりです");
}

}  // namespace kelvora::ui
