// The Internals dialog.
#include "ui/qt/internals_dialog.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/message_dialog.h"
#include "settings/settings_defaults.h"
#include "ui/qt/dialog_host.h"
#include "ui/qt/text.h"

namespace tunora::ui::qt {

namespace {

QLineEdit* numberEdit(const char* tooltip, const QString& name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setValidator(new QIntValidator(edit));
  edit->setToolTip(QString::fromLatin1(tooltip));
  edit->setObjectName(name);
  edit->setMaximumWidth(90);
  return edit;
}

QPushButton* button(const char* text, const char* tooltip, QWidget* parent) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  b->setToolTip(QString::fromLatin1(tooltip));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

InternalsDialog::InternalsDialog(DialogHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setWindowTitle(QString::fromLatin1(kInternalsTitle));
  setModal(true);
  auto* top = new QVBoxLayout(this);
  auto* upper = new QHBoxLayout;
  top->addLayout(upper);

  // Rating values 1..10 in two columns.
  auto* ratings = new QGroupBox("Rating Values", this);
  auto* ratings_grid = new QGridLayout(ratings);
  for (size_t i = 0; i < rating_values_.size(); ++i) {
    rating_values_[i] =
        numberEdit(kRatingValueTooltip, QString("ratingValue%1").arg(i + 1), ratings);
    const int row = static_cast<int>(i % 5);
    const int column = static_cast<int>(i / 5) * 2;
    ratings_grid->addWidget(new QLabel(QString::number(i + 1), ratings), row, column,
                            Qt::AlignRight);
    ratings_grid->addWidget(rating_values_[i], row, column + 1);
  }
  upper->addWidget(ratings);

  // The tuning numbers.
  auto* tuning = new QFormLayout;
  target_value_ = numberEdit(kTargetValueTooltip, "targetValue", this);
  default_import_ = numberEdit(kDefaultImportTooltip, "defaultImport", this);
  buffer_size_ = numberEdit(kBufferSizeTooltip, "bufferSize", this);
  ar_speed_ = new QComboBox(this);
  for (const char* speed : kArSpeeds) ar_speed_->addItem(QString::fromLatin1(speed));
  ar_speed_->setToolTip(QString::fromLatin1(kArSpeedTooltip));
  ar_speed_->setObjectName("arSpeed");
  lame_check_ = new QCheckBox("LAME check", this);
  lame_check_->setToolTip(QString::fromLatin1(kLameCheckTooltip));
  tuning->addRow("Target Value", target_value_);
  tuning->addRow("Default Import", default_import_);
  tuning->addRow("Buffer Size", buffer_size_);
  tuning->addRow("AR Speed", ar_speed_);
  tuning->addRow(QString(), lame_check_);
  upper->addLayout(tuning);

  // The internal counters, read-only, in two columns.
  auto* internals = new QGroupBox("Internals", this);
  auto* internals_grid = new QGridLayout(internals);
  for (size_t i = 0; i < shown_.size(); ++i) {
    shown_[i] = new QLabel(internals);
    shown_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    shown_[i]->setObjectName(QString("shown%1").arg(i));
    const int row = static_cast<int>(i % 4);
    const int column = static_cast<int>(i / 4) * 2;
    internals_grid->addWidget(new QLabel(QString::fromLatin1(kInternalsShownLabels[i]), internals),
                              row, column);
    internals_grid->addWidget(shown_[i], row, column + 1);
  }
  internals_grid->setColumnStretch(1, 1);
  internals_grid->setColumnStretch(3, 1);
  internals_grid->setColumnMinimumWidth(1, 110);
  top->addWidget(internals);

  auto* buttons = new QHBoxLayout;
  QPushButton* standard = button("Default", kInternalsDefaultTooltip, this);
  QPushButton* alternate = button("Alternate", kInternalsAlternateTooltip, this);
  QPushButton* help = button("Help", kInternalsHelpTooltip, this);
  QPushButton* ok = button("OK", kInternalsOkTooltip, this);
  ok->setDefault(true);
  QPushButton* cancel = button("Cancel", kInternalsCancelTooltip, this);
  buttons->addWidget(standard);
  buttons->addWidget(alternate);
  buttons->addStretch();
  for (QPushButton* b : {help, ok, cancel}) buttons->addWidget(b);
  top->addLayout(buttons);

  Settings& settings = host_.parts().settings;
  connect(standard, &QPushButton::clicked, this, [this, &settings] {
    resetRatingValues(settings);
    showForm(readInternalsForm(settings));
  });
  connect(alternate, &QPushButton::clicked, this, [this, &settings] {
    alternateRatingValues(settings);
    showForm(readInternalsForm(settings));
  });
  connect(help, &QPushButton::clicked, this, [this] { host_.parts().dialog.openReadMe(); });
  connect(ok, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });

  showForm(readInternalsForm(settings));
  const std::array<std::string, 8> texts = internalsShownTexts(readCounters());
  for (size_t i = 0; i < shown_.size(); ++i) shown_[i]->setText(QString::fromStdString(texts[i]));
}

InternalsCounters InternalsDialog::readCounters() const {
  const DialogParts& p = host_.parts();
  InternalsCounters c;
  c.build_time = p.settings.get(settings::kBuildTime);
  c.current_score = p.player.current().rating;
  c.queue_length = p.queue.length();
  c.hash_stat = p.settings.get(settings::kHashStat);
  readLockWords(p.lock.words(), c);
  c.pick_balance = p.builder.pickBalance();
  c.builder_stage = p.builder.stage();
  c.writer_stage = p.writer.running() ? 1 : 0;
  return c;
}

InternalsForm InternalsDialog::form() const {
  InternalsForm form;
  for (size_t i = 0; i < rating_values_.size(); ++i) {
    form.rating_values[i] = toBytes(rating_values_[i]->text());
  }
  form.target_value = toBytes(target_value_->text());
  form.default_import = toBytes(default_import_->text());
  form.buffer_size = toBytes(buffer_size_->text());
  form.ar_speed = ar_speed_->currentIndex();
  form.lame_check = lame_check_->isChecked();
  return form;
}

void InternalsDialog::showForm(const InternalsForm& form) {
  for (size_t i = 0; i < rating_values_.size(); ++i) {
    rating_values_[i]->setText(fromBytes(form.rating_values[i]));
  }
  target_value_->setText(fromBytes(form.target_value));
  default_import_->setText(fromBytes(form.default_import));
  buffer_size_->setText(fromBytes(form.buffer_size));
  ar_speed_->setCurrentIndex(form.ar_speed);
  lame_check_->setChecked(form.lame_check);
}

std::array<QString, kInternalsShownLabels.size()> InternalsDialog::shownTexts() const {
  std::array<QString, kInternalsShownLabels.size()> texts;
  for (size_t i = 0; i < shown_.size(); ++i) texts[i] = shown_[i]->text();
  return texts;
}

void InternalsDialog::accept() {
  storeInternalsForm(form(), host_.parts().settings);
  done(kFirstButton);
}

void InternalsDialog::reject() { done(kSecondButton); }

InternalsDialog* openInternalsDialog(DialogHost& host, QWidget* parent) {
  auto* dialog = new InternalsDialog(host, parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
  return dialog;
}

}  // namespace tunora::ui::qt
