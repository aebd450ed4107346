#include "qt_dialog.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>

#include "platform/sjis.h"

namespace quorvel::qt {
namespace {

const QEvent::Type kNotifyEvent = static_cast<QEvent::Type>(QEvent::User + 0x8000 - 0x400);
// Properties holding a control's text as the core gave it and as shown.
constexpr char kBytesProperty[] = "quorvelBytes";
constexpr char kShownProperty[] = "quorvelShown";

QString U(const std::string& sjisText) { return QString::fromStdString(sjis::ToUtf8(sjisText)); }
QString U(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
std::string S(const QString& text) { return sjis::FromUtf8Lossy(text.toStdString()); }

QFont TemplateFont(const ui::DialogTemplate& t) {
  QFont f;
  // The template's Windows font first, then Japanese fonts found on Linux.
  f.setFamilies({U(t.font), "IPAGothic", "IPAPGothic", "Noto Sans CJK JP", "Sans Serif"});
  f.setPointSize(t.pointSize);
  return f;
}

}  // namespace

QString AppTitle() { return "Quorvel"; }

QtDialog::QtDialog(const ui::DialogTemplate& tmpl, bool mainWindow, QWidget* parent)
    : QDialog(parent), mainWindow_(mainWindow) {
  Build(tmpl);
  if (mainWindow_) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
  } else {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  }
}

void QtDialog::Build(const ui::DialogTemplate& t) {
  setWindowTitle(U(t.title));
  setFont(TemplateFont(t));
  QFontMetrics fm(font());
  // Dialog base units as Windows computes them from the dialog font.
  const int baseX =
      (fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
  const int baseY = fm.height();
  auto px = [&](int v, int base, int div) { return (v * base + div / 2) / div; };
  setFixedSize(px(t.width, baseX, 4), px(t.height, baseY, 8));
  std::vector<QWidget*> frames;
  for (const auto& c : t.controls) {
    QWidget* w = nullptr;
    const QString text = U(c.text);
    switch (c.kind) {
      case ui::ControlKind::PushButton: {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(!mainWindow_);
        b->setDefault((c.style & ui::kDefaultButton) != 0);
        connect(b, &QPushButton::clicked, this, [this, id = c.id] { if (onCommand) onCommand(id); });
        w = b;
        break;
      }
      case ui::ControlKind::RadioButton: {
        auto* b = new QRadioButton(text, this);
        connect(b, &QRadioButton::clicked, this, [this, id = c.id] { if (onCommand) onCommand(id); });
        w = b;
        break;
      }
      case ui::ControlKind::CheckBox: {
        auto* b = new QCheckBox(text, this);
        connect(b, &QCheckBox::clicked, this, [this, id = c.id] { if (onCommand) onCommand(id); });
        w = b;
        break;
      }
      case ui::ControlKind::Edit: w = new QLineEdit(text, this); break;
      case ui::ControlKind::Static: {
        auto* l = new QLabel(text, this);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setWordWrap(true);
        w = l;
        break;
      }
      case ui::ControlKind::GroupBox: {
        w = new QGroupBox(text, this);
        frames.push_back(w);
        break;
      }
      case ui::ControlKind::Icon: {
        auto* l = new QLabel(this);
        l->setPixmap(windowIcon().pixmap(32, 32));
        w = l;
        break;
      }
      case ui::ControlKind::ListBox: {
        auto* l = new QListWidget(this);
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        l->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        connect(l, &QListWidget::itemSelectionChanged, this, [this] {
          if (onListSelectionChange) onListSelectionChange();
        });
        connect(l, &QListWidget::itemDoubleClicked, this, [this] {
          if (onListDoubleClick) onListDoubleClick();
        });
        w = l;
        break;
      }
    }
    w->setGeometry(px(c.x, baseX, 4), px(c.y, baseY, 8), px(c.width, baseX, 4),
                   px(c.height, baseY, 8));
    if (c.style & ui::kDisabled) w->setEnabled(false);
    if (c.kind == ui::ControlKind::Static || c.kind == ui::ControlKind::GroupBox ||
        c.kind == ui::ControlKind::Icon)
      w->setFocusPolicy(Qt::NoFocus);
    if (c.id != ui::kStaticId) {
      controls_.insert(c.id, w);
      w->setObjectName(QString("ctl%1").arg(c.id));
    }
    w->installEventFilter(this);
  }
  for (QWidget* f : frames) f->lower();  // frames stay behind the controls they frame
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) FitText(w);
}

bool TextFits(const QWidget* w) {
  auto needed = [w](const QString& text, int extra) {
    return QFontMetrics(w->font()).horizontalAdvance(QString(text).remove('&')) + extra;
  };
  const QStyle* s = w->style();
  if (auto* b = qobject_cast<const QPushButton*>(w))
    return needed(b->text(), 2 * (s->pixelMetric(QStyle::PM_ButtonMargin) + s->pixelMetric(QStyle::PM_DefaultFrameWidth))) <= b->width();
  if (auto* b = qobject_cast<const QCheckBox*>(w))
    return needed(b->text(), s->pixelMetric(QStyle::PM_IndicatorWidth) + s->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 2) <= b->width();
  if (auto* b = qobject_cast<const QRadioButton*>(w))
    return needed(b->text(), s->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) + s->pixelMetric(QStyle::PM_RadioButtonLabelSpacing) + 2) <= b->width();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) return needed(g->title(), 16) <= g->width();
  if (auto* l = qobject_cast<const QLabel*>(w)) {
    if (l->text().isEmpty()) return true;
    return l->wordWrap() ? l->heightForWidth(l->width()) <= l->height() : needed(l->text(), 0) <= l->width();
  }
  return true;
}

// A text that does not fit its control first takes the free room to its
// right (up to the next control or the dialog's edge), then is drawn a
// little smaller (down to four fifths of the dialog's font), and only then
// grows over what is beside it: no text is ever cut.
void QtDialog::FitText(QWidget* w) {
  if (TextFits(w)) return;
  int room = width() - 4;
  for (QWidget* other : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QRect o = other->geometry(), g = w->geometry();
    if (other == w || qobject_cast<QGroupBox*>(other) || o.left() <= g.left() ||
        o.bottom() < g.top() || o.top() > g.bottom())
      continue;
    room = std::min(room, o.left() - 4);
  }
  while (!TextFits(w) && w->geometry().right() < room) w->resize(w->width() + 1, w->height());
  const qreal full = font().pointSizeF();
  for (qreal size = full - 0.25; !TextFits(w) && size >= full * 0.8; size -= 0.25) {
    QFont f = font();
    f.setPointSizeF(size);
    w->setFont(f);
  }
  while (!TextFits(w) && w->width() < width()) w->resize(w->width() + 1, w->height());
}

bool QtDialog::eventFilter(QObject* watched, QEvent* e) {
  if (mainWindow_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    // The key still reaches the focused control as an ordinary key press.
    if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && onEnterKey) onEnterKey();
  }
  return QDialog::eventFilter(watched, e);
}

void QtDialog::keyPressEvent(QKeyEvent* e) {
  // The main window has no default button: Enter must never end it.
  if (mainWindow_ && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
    e->accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

bool QtDialog::event(QEvent* e) {
  if (e->type() == kNotifyEvent) {
    if (onNotify) onNotify();
    return true;
  }
  return QDialog::event(e);
}

void QtDialog::PostNotify() { QCoreApplication::postEvent(this, new QEvent(kNotifyEvent)); }

ui::Answer QtDialog::MessageBox(int stringId, const std::string& text, ui::Icon icon,
                                ui::Buttons buttons) {
  const QString details = U(std::string_view(details_));
  details_.clear();
  if (messageHook) return messageHook(stringId, U(text), icon, buttons);
  QMessageBox box(this);
  if (!details.isEmpty()) box.setDetailedText(details);
  box.setWindowTitle(AppTitle());
  box.setText(U(text));
  box.setIcon(icon == ui::Icon::Question   ? QMessageBox::Question
              : icon == ui::Icon::Stop     ? QMessageBox::Critical
              : icon == ui::Icon::Information ? QMessageBox::Information
                                              : QMessageBox::Warning);
  if (buttons == ui::Buttons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? ui::Answer::Yes : ui::Answer::No;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return ui::Answer::Ok;
}

void QtDialog::SetCheck(int id, bool checked) {
  if (auto* b = qobject_cast<QAbstractButton*>(Control(id))) {
    // An exclusive radio refuses to be unchecked on its own; Windows allows it.
    bool exclusive = b->autoExclusive();
    if (!checked && exclusive) b->setAutoExclusive(false);
    b->setChecked(checked);
    if (!checked && exclusive) b->setAutoExclusive(true);
  }
}

bool QtDialog::GetCheck(int id) const {
  auto* b = qobject_cast<QAbstractButton*>(Control(id));
  return b && b->isChecked();
}

void QtDialog::EnableControl(int id, bool enabled) {
  if (QWidget* w = Control(id)) w->setEnabled(enabled);
}

void QtDialog::SetControlText(int id, const std::string& text) {
  QWidget* w = Control(id);
  if (!w) return;
  const QString shown = U(text);
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(shown);
  else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(shown);
  else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(shown);
  else return;
  // Some Shift_JIS codes (NEC and IBM extensions) come back from Unicode as
  // other bytes: while the text is as it was set, the bytes it was set from
  // are its text.
  w->setProperty(kBytesProperty, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  w->setProperty(kShownProperty, shown);
}

std::string QtDialog::GetControlText(int id) const {
  QWidget* w = Control(id);
  QString shown;
  if (auto* e = qobject_cast<QLineEdit*>(w)) shown = e->text();
  else if (auto* l = qobject_cast<QLabel*>(w)) shown = l->text();
  else if (auto* b = qobject_cast<QAbstractButton*>(w)) shown = b->text();
  else return {};
  if (w->property(kShownProperty).toString() == shown) {
    QByteArray bytes = w->property(kBytesProperty).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  return S(shown);
}

void QtDialog::ListReset(int id) {
  if (auto* l = qobject_cast<QListWidget*>(Control(id))) {
    QSignalBlocker block(l);  // a program's change is no user's selection
    l->clear();
  }
}

void QtDialog::ListAdd(int id, const std::string& line) {
  if (auto* l = qobject_cast<QListWidget*>(Control(id))) {
    QSignalBlocker block(l);
    auto* item = new QListWidgetItem(U(line));
    // The line's own bytes, handed back as they were given (see SetControlText).
    item->setData(Qt::UserRole, QByteArray(line.data(), static_cast<qsizetype>(line.size())));
    l->addItem(item);
  }
}

int QtDialog::ListCount(int id) const {
  auto* l = qobject_cast<QListWidget*>(Control(id));
  return l ? l->count() : 0;
}

std::string QtDialog::ListText(int id, int index) const {
  auto* l = qobject_cast<QListWidget*>(Control(id));
  if (!l || index < 0 || index >= l->count()) return {};
  QByteArray bytes = l->item(index)->data(Qt::UserRole).toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

int QtDialog::ListSelection(int id) const {
  auto* l = qobject_cast<QListWidget*>(Control(id));
  if (!l) return -1;
  auto selected = l->selectedItems();
  return selected.isEmpty() ? -1 : l->row(selected.front());
}

void QtDialog::ListSelect(int id, int index) {
  auto* l = qobject_cast<QListWidget*>(Control(id));
  if (!l) return;
  QSignalBlocker block(l);
  if (index < 0 || index >= l->count()) {
    l->clearSelection();
    l->setCurrentRow(-1);
  } else {
    l->setCurrentRow(index);
    l->item(index)->setSelected(true);
  }
}

void QtDialog::SetFocus(int id) {
  if (QWidget* w = Control(id)) w->setFocus(Qt::OtherFocusReason);
}

int QtDialog::FocusedControl() const {
  QWidget* f = focusWidget();
  for (auto it = controls_.begin(); it != controls_.end(); ++it)
    if (it.value() == f) return it.key();
  return -1;
}

std::optional<std::string> QtDialog::OpenFileDialog(const ui::FileDialogRequest& r) {
  if (fileDialogHook) return fileDialogHook(r);
  QFileDialog dlg(nullptr, AppTitle());
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  dlg.setFileMode(QFileDialog::AnyFile);  // a typed name that is not there is the caller's to judge
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setDefaultSuffix(QString::fromStdString(r.defaultExtension));
  dlg.setNameFilter(QString::fromStdString(r.filterName + " (" + r.filterPattern + ")"));
  QFileInfo initial(QString::fromStdString(r.initialFile));
  if (initial.isDir()) {
    dlg.setDirectory(initial.absoluteFilePath());
  } else {
    dlg.setDirectory(initial.absolutePath());
    dlg.selectFile(initial.fileName());
  }
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
  return dlg.selectedFiles().front().toStdString();
}

int QtDialog::RunModal(int dialogId, ui::DialogController& controller) {
  const ui::DialogTemplate* t = ui::FindDialogTemplate(dialogId);
  if (!t) return 2;
  QtDialog dlg(*t, false, this);
  dlg.setWindowIcon(windowIcon());
  dlg.messageHook = messageHook;
  dlg.fileDialogHook = fileDialogHook;
  dlg.onCommand = [&](int id) { controller.OnCommand(dlg, id); };
  controller.OnInit(dlg);
  dlg.exec();
  return dlg.endResult_.value_or(2);
}

void QtDialog::EndDialog(int result) {
  endResult_ = result;
  done(result == 1 ? QDialog::Accepted : QDialog::Rejected);
}

void QtDialog::PostClose() { QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection); }

}  // namespace quorvel::qt
