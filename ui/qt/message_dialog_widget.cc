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
  // The keys go to the input line or the buttons, never to the message.
  message->setFocusPolicy(Qt::NoFocus);
  message->setFont(arialFont(isSmall(request.kind) ? kSmallMessageFontPixels : kMessageFontPixels));
  message->setAccessibleName(fromBytes(request.message));
  message->setMinimumSize(360, 96);
  auto* top = new QHBoxLayout;
  top->addWidget(icon_label);
  top->addWidget(message, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);

  QPushButton* first = nullptr;
  QPushButton* second = nullptr;  // none for a notice with one button
  if (isInputForm(request.kind)) {
    input_ = new QLineEdit(fromBytes(request.text), this);
    input_->setMaxLength(static_cast<int>(kMessageInputLimit));
    input_->setFont(arialFont(kMessageFontPixels));
    input_->setAccessibleName("Input");
    layout->addWidget(input_);
    // The caller's captions ("Search", "Goto"), "OK" and "Cancel" when it gave none.
    first = makeButton(
        request.first_button.empty() ? QString(kOkButton) : fromBytes(request.first_button), this);
    second = makeButton(
        request.second_button.empty() ? QString(kCancelButton) : fromBytes(request.second_button),
        this);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(first);
    row->addWidget(second);
    layout->addLayout(row);
    first->setDefault(true);
    // Typing goes straight into the line and replaces the text offered; Return confirms it.
    input_->selectAll();
    input_->setFocus(Qt::OtherFocusReason);
  } else {
    first = makeButton(fromBytes(request.first_button), this);
    first->setMinimumHeight(40);
    layout->addWidget(first);
    if (!request.second_button.empty()) {
      second = makeButton(fromBytes(request.second_button), this);
      second->setMinimumHeight(40);
      layout->addWidget(second);
    }
  }
  first->setObjectName("firstButton");
  connect(first, &QPushButton::clicked, this, [this] { done(kFirstButton); });
  if (second != nullptr) {
    second->setObjectName("secondButton");
    connect(second, &QPushButton::clicked, this, [this] { done(kSecondButton); });
  }

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
