#include "experiment/sweepopening.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>

#include "batch/sweep_table.h"
#include "common/background.h"
#include "common/messagebox.h"
#include "experiment/experimentwindow.h"
#include "session/sweep_file.h"

namespace kelvora::ui {

std::shared_ptr<SweepOpening> StartSweepOpening(QWidget* parent, const QString& path,
                                                void (*seam)(long long),
                                                std::function<void(std::shared_ptr<SweepOpening>)> done) {
    auto opening = std::make_shared<SweepOpening>();
    opening->path = path;
    const qint64 size = std::max<qint64>(1, QFileInfo(path).size());
    auto* progress = new QProgressDialog(ExperimentWindow::tr("スイープの CSV を読んでいます: %1").arg(QFileInfo(path).fileName()),
                                         ExperimentWindow::tr("中止"), 0, 1000, parent);
    progress->setObjectName(QStringLiteral("OpenSweepProgress"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    QObject::connect(progress, &QProgressDialog::canceled, parent, [opening] { opening->stop = true; });
    auto* poll = new QTimer(progress);
    QObject::connect(poll, &QTimer::timeout, progress, [progress, opening, size] {
        progress->setValue(static_cast<int>(std::min<long long>(1000, 1000 * opening->bytesRead / size)));
    });
    poll->start(50);
    RunInBackground<bool>(
        parent,
        [opening, seam] {
            kelvora::experiment::ReadSweepForExperiment(QFile::encodeName(opening->path).toStdString(), opening->sweep,
                                                        opening->stop, opening->bytesRead, seam);
            if (opening->sweep.error.empty() && !opening->stop) {
                std::vector<QString> labels;
                for (const std::string& label : opening->sweep.labels) labels.push_back(QString::fromStdString(label));
                // Runs read from a file carry no improvements: no convergence curve for them.
                opening->outcome = ComputeOutcome(labels, opening->sweep.results, false,
                                                  opening->sweep.epsilon.value_or(kelvora::kDefaultEpsilon),
                                                  opening->sweep.epsilon.has_value());
            }
            return true;
        },
        [opening, progress, done = std::move(done)](bool) {
            EndProgress(progress);  // before any message box: never two modals on the window
            done(opening);
        });
    return opening;
}

QString DroppedFile(const QMimeData* mime) {
    const QList<QUrl> urls = mime->urls();
    return urls.size() == 1 && urls.first().isLocalFile() ? urls.first().toLocalFile() : QString();
}

bool IsSweepFile(const QString& path) {
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) &&
           kelvora::session::IsSweepHeader(file.readLine(static_cast<qint64>(kelvora::SweepHeader().size()) + 3).trimmed().toStdString());
}

}  // namespace kelvora::ui
