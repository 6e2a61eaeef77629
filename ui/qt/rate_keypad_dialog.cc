// The Rate keypad dialog.
#include "ui/qt/rate_keypad_dialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QPushButton>

#include "ui/rate_keypad.h"

namespace tunora::ui::qt {

RateKeypadDialog::RateKeypadDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setModal(true);
  setAccessibleName("Rate keypad");
  // The window's own font (a dialog does not take it by itself), larger for the keys.
  QFont font = parent != nullptr ? parent->font() : QApplication::font();
  font.setPointSizeF(font.pointSizeF() * kKeyFontScale);
  setFont(font);
  auto* grid = new QGridLayout(this);
  int index = 0;
  for (const RateButton& button : kRateButtons) {
    auto* widget = new QPushButton(QString::fromLatin1(button.text), this);
    widget->setAutoDefault(false);
    widget->setObjectName(QString("rate%1").arg(button.command));
    const int32_t command = button.command;
    connect(widget, &QPushButton::clicked, this, [this, command] { done(command); });
    if (command == kRateCancel) {
      grid->addWidget(widget, index / kRateKeypadColumns, 0, 1, kRateKeypadColumns);
    } else {
      grid->addWidget(widget, index / kRateKeypadColumns, index % kRateKeypadColumns);
      ++index;
    }
  }
}

void RateKeypadDialog::reject() { done(kRateCancel); }

}  // namespace tunora::ui::qt
