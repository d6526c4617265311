#include "experiment/sweepopening.h"

#include <algorithm>

#include <QFile>
#include <QDragEnterEvent>
#include <QDropEvent>
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

namespace {

// The one local file a drag carries, or "".
QString DroppedFile(const QMimeData* mime) {
    const QList<QUrl> urls = mime->urls();
    return urls.size() == 1 && urls.first().isLocalFile() ? urls.first().toLocalFile() : QString();
}

// A regular file (a FIFO would wait for its writer) whose first line is a sweep CSV's header.
bool IsSweepFile(const QString& path) {
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) &&
           kelvora::session::IsSweepHeader(file.readLine(static_cast<qint64>(kelvora::SweepHeader().size()) + 3).trimmed().toStdString());
}

class FileDrops : public QObject {
public:
    FileDrops(QWidget* window, std::function<void(const QString&, bool)> dropped)
        : QObject(window), m_dropped(std::move(dropped)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::DragEnter) {
            auto* enter = static_cast<QDragEnterEvent*>(event);
            if (!DroppedFile(enter->mimeData()).isEmpty()) enter->acceptProposedAction();
            return true;
        }
        if (event->type() != QEvent::Drop) return QObject::eventFilter(watched, event);
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = DroppedFile(drop->mimeData());
        if (path.isEmpty()) return true;
        drop->acceptProposedAction();
        QMetaObject::invokeMethod(this, [this, path, sweep = IsSweepFile(path)] {
            m_dropped(QFileInfo(path).absoluteFilePath(), sweep);
        }, Qt::QueuedConnection);
        return true;
    }

private:
    std::function<void(const QString&, bool)> m_dropped;
};

}  // namespace

void AcceptFileDrops(QWidget* window, std::function<void(const QString& path, bool sweep)> dropped) {
    window->setAcceptDrops(true);
    window->installEventFilter(new FileDrops(window, std::move(dropped)));
}

}  // namespace kelvora::ui
