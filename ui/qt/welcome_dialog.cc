// The welcome dialog.
#include "ui/qt/welcome_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/lock_codes.h"
#include "platform/message_dialog.h"
#include "ui/qt/fonts.h"

namespace tunora::ui::qt {

namespace {

QPushButton* bigButton(const char* text, const char* tooltip, QWidget* parent) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  b->setToolTip(QString::fromLatin1(tooltip));
  b->setFont(arialFont(25));
  b->setMinimumHeight(60);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

WelcomeWindow::WelcomeWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kWelcomeTitle));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 20);
  layout->setSpacing(14);
  auto* text = new QLabel(QString::fromLatin1(kWelcomeText), this);
  text->setWordWrap(true);
  text->setAlignment(Qt::AlignCenter);
  QFont font = text->font();
  font.setPointSize(font.pointSize() + 2);
  text->setFont(font);
  layout->addWidget(text);
  QPushButton* import = bigButton(kWelcomeImport, kWelcomeImportTooltip, this);
  QPushButton* later = bigButton(kWelcomeLater, kWelcomeLaterTooltip, this);
  import->setDefault(true);
  layout->addWidget(import);
  layout->addWidget(later);
  connect(import, &QPushButton::clicked, this, [this] { done(kFirstButton); });
  connect(later, &QPushButton::clicked, this, [this] { done(kSecondButton); });
  setMinimumWidth(560);
}

void WelcomeWindow::reject() { done(kSecondButton); }

void QtWelcomeDialog::showWelcome(WelcomeMode) {
  if (closed_) return;
  WelcomeWindow window;
  open_ = &window;
  if (window.exec() == kFirstButton && !closed_) import_chosen_ = true;
}

void QtWelcomeDialog::close() {
  closed_ = true;
  if (open_) open_->reject();
}

void QtWelcomeDialog::postImportRequest(engine::SharedLock& lock) {
  if (!import_chosen_) return;
  import_chosen_ = false;
  (void)lock.tryPostRequest(engine::kCodeOpenDatabaseDialog, 0);
}

}  // namespace tunora::ui::qt
