// The Options dialog.
#include "ui/qt/options_dialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <mutex>

#include "engine/state_switch.h"
#include "platform/message_dialog.h"
#include "ui/qt/dialog_host.h"
#include "ui/qt/internals_dialog.h"
#include "ui/qt/post_to_widget.h"
#include "ui/qt/text.h"

namespace tunora::ui::qt {

// The dialog's four per-state controls as the state switch sees them from its own thread: the
// values on screen, copied in by the dialog at every change, and the new state's values, posted
// back to the dialog (which may have closed meanwhile).
class OptionsStateControls final : public engine::StateControls {
 public:
  OptionsStateControls(const Settings& settings, QPointer<OptionsDialog> dialog)
      : settings_(settings), dialog_(std::move(dialog)) {}

  void setOnScreen(const engine::PerStateControls& values) {
    std::lock_guard lock(mu_);
    on_screen_ = values;
  }
  engine::PerStateControls read() override {
    std::lock_guard lock(mu_);
    return on_screen_;
  }
  // Called by the switch after it made the new state current.
  void show(const engine::PerStateControls& values) override {
    setOnScreen(values);
    const int32_t owner = settings_.get(settings::kCurrentState);
    postToWidget(dialog_, [owner, values](OptionsDialog& d) { d.showPerState(owner, values); });
  }

 private:
  const Settings& settings_;
  const QPointer<OptionsDialog> dialog_;
  std::mutex mu_;
  engine::PerStateControls on_screen_;  // guarded by mu_
};

namespace {

QString q(const std::string& text) { return fromBytes(text); }

QCheckBox* checkBox(const CheckOption& option, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromLatin1(option.label), parent);
  box->setToolTip(QString::fromLatin1(option.tooltip));
  return box;
}

QPushButton* button(const char* text, const char* tooltip, QWidget* parent) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  if (tooltip != nullptr) b->setToolTip(QString::fromLatin1(tooltip));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

OptionsDialog::OptionsDialog(DialogHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setWindowTitle(QString::fromLatin1(kOptionsTitle));
  setModal(true);
  state_controls_ =
      std::make_shared<OptionsStateControls>(host_.parts().settings, QPointer<OptionsDialog>(this));
  buildControls();
  showForm(readOptionsForm(host_.parts().settings));
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::buildControls() {
  auto* top = new QVBoxLayout(this);
  auto* upper = new QHBoxLayout;
  top->addLayout(upper);

  // Users: the ten names.
  auto* users = new QGroupBox("Users", this);
  auto* users_grid = new QGridLayout(users);
  for (uint32_t u = 0; u < settings::kUsers; ++u) {
    auto* edit = new QLineEdit(users);
    edit->setMaxLength(static_cast<int>(settings::kNameSize) - 1);
    edit->setToolTip(QString::fromLatin1(kUserNameTooltip));
    edit->setObjectName(QString("userName%1").arg(u + 1));
    const int row = static_cast<int>(u);
    users_grid->addWidget(new QLabel(QString::number(u + 1), users), row, 0);
    users_grid->addWidget(edit, row, 1);
    user_names_[u] = edit;
  }
  upper->addWidget(users, 2);

  // Alt modes 1..9: name and pattern.
  auto* alt = new QGroupBox("Alt Modes", this);
  auto* alt_grid = new QGridLayout(alt);
  for (uint32_t m = 0; m < kAltModesShown; ++m) {
    auto* name = new QLineEdit(alt);
    name->setMaxLength(static_cast<int>(settings::kNameSize) - 1);
    name->setToolTip(QString::fromLatin1(kAltNameTooltip));
    name->setObjectName(QString("altName%1").arg(m + 1));
    auto* pattern = new QLineEdit(alt);
    pattern->setMaxLength(static_cast<int>(settings::kNameSize) - 1);
    pattern->setToolTip(QString::fromLatin1(kAltPatternTooltip));
    pattern->setObjectName(QString("altPattern%1").arg(m + 1));
    const int row = static_cast<int>(m);
    alt_grid->addWidget(new QLabel(QString::number(m + 1), alt), row, 0);
    alt_grid->addWidget(name, row, 1);
    alt_grid->addWidget(pattern, row, 2);
    alt_names_[m] = name;
    alt_patterns_[m] = pattern;
  }
  upper->addWidget(alt, 3);

  auto* middle = new QHBoxLayout;
  top->addLayout(middle);

  // File types: "All" and the eight that it greys.
  auto* types = new QGroupBox("FileTypes", this);
  auto* types_grid = new QGridLayout(types);
  play_all_ = checkBox(kPlayAllOption, types);
  types_grid->addWidget(play_all_, 0, 0);
  for (size_t i = 0; i < kFileTypeOptions.size(); ++i) {
    file_types_[i] = checkBox(kFileTypeOptions[i], types);
    const int cell = static_cast<int>(i) + 1;
    types_grid->addWidget(file_types_[i], cell / 3, cell % 3);
  }
  connect(play_all_, &QCheckBox::toggled, this, [this] { playAllChanged(); });
  middle->addWidget(types, 1);

  // Filter: the state and its four controls.
  auto* filter = new QGroupBox("Filter", this);
  auto* filter_grid = new QGridLayout(filter);
  state_ = new QComboBox(filter);
  state_->setObjectName("state");
  filter_grid->addWidget(new QLabel("State", filter), 0, 0);
  filter_grid->addWidget(state_, 0, 1, 1, 2);
  naughty_ = new QComboBox(filter);
  for (const char* level : kNaughtyLevels) naughty_->addItem(QString::fromLatin1(level));
  naughty_->setToolTip(QString::fromLatin1(kNaughtyTooltip));
  naughty_->setObjectName("naughtyLimit");
  filter_grid->addWidget(new QLabel("Play up to", filter), 1, 0);
  filter_grid->addWidget(naughty_, 1, 1);
  filter_grid->addWidget(new QLabel("songs.", filter), 1, 2);
  min_rating_ = new QComboBox(filter);
  for (int32_t r = 0; r <= kHighestMinRating; ++r) min_rating_->addItem(QString::number(r));
  min_rating_->setToolTip(QString::fromLatin1(kMinRatingTooltip));
  min_rating_->setObjectName("minRating");
  filter_grid->addWidget(new QLabel("Minimum play rating is ", filter), 2, 0);
  filter_grid->addWidget(min_rating_, 2, 1);
  history_ = new QCheckBox("History", filter);
  history_->setToolTip(QString::fromLatin1(kHistoryTooltip));
  no_art_rep_ = new QCheckBox("No Art Rep", filter);
  no_art_rep_->setToolTip(QString::fromLatin1(kNoArtRepTooltip));
  filter_grid->addWidget(history_, 3, 0);
  filter_grid->addWidget(no_art_rep_, 3, 1, 1, 2);
  filter_grid->setColumnStretch(1, 1);
  connect(state_, &QComboBox::activated, this, [this](int index) { chooseState(index); });
  connect(naughty_, &QComboBox::currentIndexChanged, this, [this] { perStateChanged(); });
  connect(min_rating_, &QComboBox::currentIndexChanged, this, [this] { perStateChanged(); });
  connect(history_, &QCheckBox::toggled, this, [this] { perStateChanged(); });
  connect(no_art_rep_, &QCheckBox::toggled, this, [this] { perStateChanged(); });
  middle->addWidget(filter, 1);

  // Misc: the other switches in four columns, then "Prepare".
  auto* misc = new QGroupBox("Misc", this);
  auto* misc_grid = new QGridLayout(misc);
  constexpr int kMiscColumns = 5;
  for (size_t i = 0; i < kMiscOptions.size(); ++i) {
    misc_[i] = checkBox(kMiscOptions[i], misc);
    misc_grid->addWidget(misc_[i], static_cast<int>(i) / kMiscColumns,
                         static_cast<int>(i) % kMiscColumns);
  }
  prepare_ = new QLineEdit(misc);
  prepare_->setValidator(new QIntValidator(0, 999999, prepare_));
  prepare_->setToolTip(QString::fromLatin1(kPrepareTooltip));
  prepare_->setObjectName("prepare");
  prepare_->setMaximumWidth(80);
  auto* prepare_row = new QHBoxLayout;
  auto* prepare_label = new QLabel("Prepare", misc);
  prepare_label->setToolTip(QString::fromLatin1(kPrepareTooltip));
  prepare_row->addWidget(prepare_label);
  prepare_row->addWidget(prepare_);
  prepare_row->addStretch();
  const int last_row = static_cast<int>(kMiscOptions.size()) / kMiscColumns;
  misc_grid->addLayout(prepare_row, last_row, static_cast<int>(kMiscOptions.size()) % kMiscColumns,
                       1, kMiscColumns - static_cast<int>(kMiscOptions.size()) % kMiscColumns);
  top->addWidget(misc);

  // Buttons.
  auto* buttons = new QHBoxLayout;
  QPushButton* open_dir = button("Open Dir", kOpenDirTooltip, this);
  QPushButton* reset = button("Reset", kResetTooltip, this);
  QPushButton* internals = button("Internals", "Rating values and tuning numbers", this);
  QPushButton* help = button("Help", nullptr, this);
  QPushButton* ok = button("OK", kOptionsOkTooltip, this);
  ok->setDefault(true);
  QPushButton* cancel = button("Cancel", kOptionsCancelTooltip, this);
  for (QPushButton* b : {open_dir, reset, internals}) buttons->addWidget(b);
  buttons->addStretch();
  for (QPushButton* b : {help, ok, cancel}) buttons->addWidget(b);
  top->addLayout(buttons);

  connect(ok, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(help, &QPushButton::clicked, this, [this] { host_.parts().dialog.openReadMe(); });
  connect(open_dir, &QPushButton::clicked, this, [this] {
    QDesktopServices::openUrl(QUrl::fromLocalFile(fromPath(host_.parts().context.data_directory)));
  });
  connect(reset, &QPushButton::clicked, this, [this] { resetSettings(); });
  connect(internals, &QPushButton::clicked, this,
          [this] { (void)openInternalsDialog(host_, this); });
}

OptionsForm OptionsDialog::form() const {
  OptionsForm form;
  for (size_t u = 0; u < user_names_.size(); ++u)
    form.user_names[u] = toBytes(user_names_[u]->text());
  for (size_t m = 0; m < kAltModesShown; ++m) {
    form.alt_names[m] = toBytes(alt_names_[m]->text());
    form.alt_patterns[m] = toBytes(alt_patterns_[m]->text());
  }
  form.play_all = play_all_->isChecked();
  for (size_t i = 0; i < file_types_.size(); ++i) form.file_types[i] = file_types_[i]->isChecked();
  for (size_t i = 0; i < misc_.size(); ++i) form.misc[i] = misc_[i]->isChecked();
  form.prepare = toBytes(prepare_->text());
  form.per_state.naughty_limit = naughty_->currentIndex();
  form.per_state.min_rating = min_rating_->currentIndex();
  form.per_state.history = history_->isChecked() ? 1 : 0;
  form.per_state.no_art_rep = no_art_rep_->isChecked() ? 1 : 0;
  form.per_state_owner = per_state_owner_;
  for (int s = 0; s < state_->count() && s < static_cast<int>(form.state_names.size()); ++s) {
    form.state_names[static_cast<size_t>(s)] = toBytes(state_->itemText(s));
  }
  form.current_state = state_->currentIndex();
  return form;
}

void OptionsDialog::showForm(const OptionsForm& form) {
  filling_ = true;
  for (size_t u = 0; u < user_names_.size(); ++u) user_names_[u]->setText(q(form.user_names[u]));
  for (size_t m = 0; m < kAltModesShown; ++m) {
    alt_names_[m]->setText(q(form.alt_names[m]));
    alt_patterns_[m]->setText(q(form.alt_patterns[m]));
  }
  play_all_->setChecked(form.play_all);
  for (size_t i = 0; i < file_types_.size(); ++i) file_types_[i]->setChecked(form.file_types[i]);
  for (size_t i = 0; i < misc_.size(); ++i) misc_[i]->setChecked(form.misc[i]);
  prepare_->setText(q(form.prepare));
  state_->clear();
  for (const std::string& name : form.state_names) state_->addItem(q(name));
  state_->setCurrentIndex(form.current_state);
  filling_ = false;
  showPerState(form.per_state_owner, form.per_state);
  playAllChanged();
}

void OptionsDialog::showPerState(int32_t owner, const engine::PerStateControls& values) {
  filling_ = true;
  per_state_owner_ = owner;
  naughty_->setCurrentIndex(std::clamp<int32_t>(values.naughty_limit, 0, naughty_->count() - 1));
  min_rating_->setCurrentIndex(std::clamp<int32_t>(values.min_rating, 0, min_rating_->count() - 1));
  history_->setChecked(values.history != 0);
  no_art_rep_->setChecked(values.no_art_rep != 0);
  filling_ = false;
  perStateChanged();
}

void OptionsDialog::perStateChanged() {
  if (filling_) return;
  state_controls_->setOnScreen(form().per_state);
}

void OptionsDialog::playAllChanged() {
  const bool enabled = fileTypesEnabled(play_all_->isChecked());
  for (QCheckBox* box : file_types_) box->setEnabled(enabled);
  if (!filling_) host_.parts().settings.set(settings::kPlayAll, play_all_->isChecked() ? 1 : 0);
}

void OptionsDialog::chooseState(int index) {
  if (index < 0) return;
  // The switch waits for the database lock: it runs on a thread of its own, with the dialog's
  // per-state controls as they are now.
  std::shared_ptr<OptionsStateControls> controls = state_controls_;
  engine::StateSwitcher* switcher = &host_.parts().state_switcher;
  (void)host_.parts().threads.start(
      [switcher, controls, index] { (void)switcher->switchState(index, controls.get()); });
}

void OptionsDialog::resetSettings() {
  if (ask(host_.parts().dialog, kOptionsResetQuestion, kOptionsResetYes, kOptionsResetNo) !=
      kFirstButton) {
    return;
  }
  const int32_t state = resetOptions(host_.parts().settings);
  OptionsForm shown = readOptionsForm(host_.parts().settings);
  showForm(shown);
  // The first state becomes current through the switch, which saves this state's list first.
  if (state != 0) {
    state_->setCurrentIndex(0);
    chooseState(0);
  }
}

void OptionsDialog::startBufferFollowUp(BufferFollowUp follow_up) {
  if (follow_up == BufferFollowUp::kNone) return;
  network::Buffering* buffering = &host_.parts().buffering;
  if (follow_up == BufferFollowUp::kRestart) buffering->setState(network::kBufferOff);
  // The set-up works on files (the buffer table and folders): not on the window's thread.
  (void)host_.parts().threads.start([buffering] { buffering->setUpBuffer(); });
}

void OptionsDialog::accept() {
  const OptionsForm shown = form();
  const BufferFollowUp follow_up =
      storeOptionsForm(shown, host_.parts().settings, host_.parts().buffering.state());
  startBufferFollowUp(follow_up);
  host_.actions().applyOnTop(shown.misc[kOnTopBox]);
  host_.actions().repaintAll();
  done(kFirstButton);
}

void OptionsDialog::reject() { done(kSecondButton); }

}  // namespace tunora::ui::qt
