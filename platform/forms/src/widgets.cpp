#include "forms/widgets.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QValidator>
#include <map>

namespace forms {
namespace {

// The validator sees the text after the edit, so the length before it is kept from the last
// change.
class TypingLimit : public QValidator {
 public:
  TypingLimit(QLineEdit* edit, int limit)
      : QValidator(edit), limit_(limit), before_(edit->text().size()) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { before_ = t.size(); });
  }
  State validate(QString& input, int& /*pos*/) const override {
    return input.size() > limit_ && input.size() > before_ ? Invalid : Acceptable;
  }

 private:
  qsizetype limit_;
  qsizetype before_;
};

// Asks the application's style for everything but the mask character.
class MaskStyle : public QProxyStyle {
 public:
  explicit MaskStyle(char mask) : mask_(mask) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return mask_;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }

 private:
  char mask_;
};

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

// "&Name" shows as "Name": the access-key mark is no part of the spoken name.
QString Spoken(QString caption) {
  return caption.remove(QRegularExpression(QStringLiteral("&(?!&)"))).trimmed();
}

}  // namespace

void SetTypingLimit(QLineEdit* edit, int limit) {
  edit->setValidator(new TypingLimit(edit, limit));
}

QLineEdit* AddEntry(QFormLayout* form, const char* name, const char* label, int limit) {
  auto* edit = new QLineEdit;
  edit->setObjectName(Q(name));
  edit->setMinimumWidth(160);  // a full dotted quad or host name stays readable
  if (limit > 0) SetTypingLimit(edit, limit);
  form->addRow(MakeLabel(label, edit), edit);
  return edit;
}

void SetPasswordCharacter(QLineEdit* edit, char mask) {
  auto* style = new MaskStyle(mask);
  style->setParent(edit);
  edit->setStyle(style);
  edit->setEchoMode(QLineEdit::Password);
}

QLabel* MakeLabel(const char* caption, QWidget* buddy) {
  auto* label = new QLabel(Q(caption));
  label->setBuddy(buddy);
  return label;
}

QCheckBox* MakeCheck(const char* name, const char* caption) {
  auto* box = new QCheckBox(Q(caption));
  box->setObjectName(Q(name));
  return box;
}

QPushButton* MakeButton(const char* name, const char* caption) {
  auto* button = new QPushButton(Q(caption));
  button->setObjectName(Q(name));
  return button;
}

QComboBox* MakeList(const char* name) {
  auto* list = new QComboBox;
  list->setObjectName(Q(name));
  list->setMaxVisibleItems(25);
  return list;
}

void FillNumbers(QComboBox* list, int items) {
  list->clear();
  for (int i = 0; i < items; ++i) list->addItem(QString::number(i));
}

QGroupBox* MakeGroup(const char* caption, const char* name) {
  auto* group = new QGroupBox(Q(caption));
  group->setObjectName(Q(name));
  return group;
}

void SetTabChain(std::initializer_list<QWidget*> controls) {
  QWidget* previous = nullptr;
  for (QWidget* control : controls) {
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    previous = control;
  }
}

void NameControls(QWidget* window) {
  std::map<const QWidget*, QString> labelled;
  for (const QLabel* label : window->findChildren<QLabel*>()) {
    if (label->buddy() != nullptr) labelled[label->buddy()] = Spoken(label->text());
  }
  for (QWidget* control : window->findChildren<QWidget*>()) {
    // Our controls carry names; the parts Qt builds inside them (a list's popup) do not.
    const QString object_name = control->objectName();
    if (object_name.isEmpty() || object_name.startsWith(QStringLiteral("qt_"))) continue;
    if (control->focusPolicy() == Qt::NoFocus || !control->accessibleName().isEmpty()) continue;
    QString name;
    if (const auto* button = qobject_cast<QAbstractButton*>(control)) name = Spoken(button->text());
    if (name.isEmpty()) {
      if (auto it = labelled.find(control); it != labelled.end()) name = it->second;
    }
    if (name.isEmpty()) name = object_name;
    control->setAccessibleName(name);
  }
}

}  // namespace forms
