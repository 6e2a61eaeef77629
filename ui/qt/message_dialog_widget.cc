// The message dialog's window.
#include "ui/qt/message_dialog_widget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/qt/fonts.h"
#include "ui/qt/text.h"

namespace tunora::ui::qt {
namespace {

constexpr char kDialogTitle[] = "Tunora 1.9";
constexpr int kButtonFontPixels = 20;
constexpr int kMessageFontPixels = 20;
constexpr int kSmallMessageFontPixels = 16;

bool isInputForm(MessageKind kind) {
  return kind == MessageKind::kInput || kind == MessageKind::kSmallInput;
}
bool isSmall(MessageKind kind) {
  return kind == MessageKind::kSmallMessage || kind == MessageKind::kSmallInput;
}

QPushButton* makeButton(const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setFont(arialFont(kButtonFontPixels));
  button->setAccessibleName(caption);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

MessageDialogWidget::MessageDialogWidget(const MessageRequest& request, const QIcon& icon,
                                         QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(kDialogTitle);
  setWindowIcon(icon);
  setModal(true);
  if (request.keep_on_top) setWindowFlag(Qt::WindowStaysOnTopHint, true);

  auto* icon_label = new QLabel(this);
  icon_label->setPixmap(icon.pixmap(32, 32));
  icon_label->setAlignment(Qt::AlignTop);
  auto* message = new QPlainTextEdit(fromBytes(request.message), this);
  message->setReadOnly(true);
  message->setFont(arialFont(isSmall(request.kind) ? kSmallMessageFontPixels
                                                   : kMessageFontPixels));
  message->setAccessibleName(fromBytes(request.message));
  message->setMinimumSize(360, 96);
  auto* top = new QHBoxLayout;
  top->addWidget(icon_label);
  top->addWidget(message, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);

  QPushButton* first = nullptr;
  QPushButton* second = nullptr;
  if (isInputForm(request.kind)) {
    input_ = new QLineEdit(fromBytes(request.text), this);
    input_->setMaxLength(static_cast<int>(kMessageInputLimit));
    input_->setFont(arialFont(kMessageFontPixels));
    input_->setAccessibleName("Input");
    layout->addWidget(input_);
    first = makeButton(kOkButton, this);
    second = makeButton(kCancelButton, this);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(first);
    row->addWidget(second);
    layout->addLayout(row);
    first->setDefault(true);
  } else {
    first = makeButton(fromBytes(request.first_button), this);
    second = makeButton(fromBytes(request.second_button), this);
    first->setMinimumHeight(40);
    second->setMinimumHeight(40);
    layout->addWidget(first);
    layout->addWidget(second);
  }
  first->setObjectName("firstButton");
  second->setObjectName("secondButton");
  connect(first, &QPushButton::clicked, this, [this] { done(kFirstButton); });
  connect(second, &QPushButton::clicked, this, [this] { done(kSecondButton); });

  if (request.timeout_seconds > 0) {
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(request.timeout_seconds * 1000);
    connect(timer_, &QTimer::timeout, this, &MessageDialogWidget::timeOut);
    timer_->start();
  }
  setResult(kSecondButton);
}

void MessageDialogWidget::timeOut() { done(kFirstButton); }

MessageResult MessageDialogWidget::answer() const {
  MessageResult out;
  out.button = result() == kFirstButton ? kFirstButton : kSecondButton;
  if (input_ != nullptr) {
    out.text = toBytes(input_->text());
    if (out.text.size() > kMessageInputLimit) out.text.resize(kMessageInputLimit);
  }
  return out;
}

}  // namespace tunora::ui::qt
