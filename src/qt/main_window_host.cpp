#include "main_window_host.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include "app/about_dialog.h"
#include "app/strings.h"
#include "platform/sjis.h"

namespace quorvel::qt {
namespace {

constexpr int kCloseButton = 2;


// The program's icon: a robot face, drawn so no image file is needed at run time.
QIcon ProgramIcon() {
  QIcon installed = QIcon::fromTheme("quorvel");
  if (!installed.isNull()) return installed;
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0x3a, 0x7b, 0xd5));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(4, 6, 24, 22, 5, 5);
  p.setBrush(Qt::white);
  p.drawEllipse(9, 12, 5, 5);
  p.drawEllipse(18, 12, 5, 5);
  p.drawRect(11, 21, 10, 2);
  p.setBrush(QColor(0xf5, 0xa6, 0x23));
  p.drawEllipse(14, 1, 4, 4);
  return QIcon(pm);
}

}  // namespace

MainWindowHost::MainWindowHost(const StateOptions& options, const FlashAirTarget* card)
    : core_(options), window_(std::make_unique<QtDialog>(ui::MainDialogTemplate(), true)) {
  if (card) {  // the card's address; the configured time-outs stay
    core_.state()->flashAir.host = card->host;
    core_.state()->flashAir.port = card->port;
  }
  QtDialog& w = *window_;
  w.setWindowIcon(ProgramIcon());
  w.onCommand = [this](int id) {
    if (id == kCloseButton) window_->reject();
    else core_.OnCommand(id);
  };
  w.onListSelectionChange = [this] { core_.OnListSelectionChange(); };
  w.onListDoubleClick = [this] { core_.OnListDoubleClick(); };
  w.onEnterKey = [this] { core_.OnEnterKey(); };
  w.onNotify = [this] { core_.OnRecognizerNotify(); };
  core_.state()->notifyWindow = [win = window_.get()] { win->PostNotify(); };
  core_.state()->postToWindow = [win = window_.get()](std::function<void()> task) {
    QMetaObject::invokeMethod(win, std::move(task), Qt::QueuedConnection);
  };

  // Where a Linux user looks for "About": the context menu and F1.
  const std::string about = LoadString(IDS_ABOUTBOX);
  if (!about.empty()) {
    auto* action = new QAction(QString::fromStdString(sjis::ToUtf8(about)), &w);
    action->setShortcut(QKeySequence(Qt::Key_F1));
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, &w, [this] { ShowAbout(); });
    w.addAction(action);
    w.setContextMenuPolicy(Qt::ActionsContextMenu);
  }
}

MainWindowHost::~MainWindowHost() { core_.OnDestroy(); }

void MainWindowHost::Initialise() { core_.OnInitDialog(*window_); }

int MainWindowHost::Run() {
  // Shown at once; the start-up fills it from the event loop a moment later.
  window_->show();
  QTimer::singleShot(0, window_.get(), [this] { Initialise(); });
  window_->exec();
  core_.OnDestroy();  // the window is gone: write the keys, free the table, release the lock
  return 0;
}

void MainWindowHost::ShowAbout() {
  CAboutDlg about(core_.state()->iniPath);
  window_->RunModal(ui::kAboutDialogId, about);
}

}  // namespace quorvel::qt
