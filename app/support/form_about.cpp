#include "form_about.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QVBoxLayout>
#include <functional>

#include "about_box.h"
#include "app/support/language.h"
#include "ui_seams.h"

namespace calmora {

namespace {

constexpr int kPictureSize = 96;

// A caption that behaves like a link: underlined, pointing hand, and it acts
// on a left click or on Enter / Space when it has the focus.
class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& objectName, const QString& caption, QWidget* parent,
              std::function<void()> action)
        : QLabel(caption, parent), action_(std::move(action)) {
        setObjectName(objectName);
        setTextFormat(Qt::PlainText);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
        setToolTip(caption);
        setForegroundRole(QPalette::Link);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
            action_();
            event->accept();
            return;
        }
        QLabel::mouseReleaseEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
            event->key() == Qt::Key_Space) {
            action_();
            event->accept();
            return;
        }
        QLabel::keyPressEvent(event);
    }

private:
    std::function<void()> action_;
};

QLabel* PlainLabel(const QString& objectName, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A link to address, or its plain text while it is a placeholder.
QLabel* AddressLabel(const QString& objectName, const QString& address, QWidget* parent,
                     std::function<void()> action) {
    if (!IsPlaceholderAddress(address))
        return new LinkLabel(objectName, address, parent, std::move(action));
    QLabel* label = PlainLabel(objectName, parent);
    label->setText(address);
    return label;
}

void Underline(QLabel* label) {
    if (!dynamic_cast<LinkLabel*>(label)) return;
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
}

// A link that cannot be opened does nothing visible: the desktop has no
// handler for it, and there is nothing more the About window could do.
void OpenLink(const QString& target) {
    if (Seams().openUrl) Seams().openUrl(target);
}

}  // namespace

AboutAddresses BuiltAboutAddresses() { return {HomePageAddress(), ContactAddress()}; }

FormAbout::FormAbout(QWidget* owner, const AboutAddresses& addresses)
    : QDialog(owner), addresses_(addresses) {
    setObjectName(QStringLiteral("FormAbout"));
    setModal(true);

    auto* image1 = new QLabel(this);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setPixmap(QPixmap::fromImage(DrawCalmoraPicture(kPictureSize)));
    image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    label2_ = PlainLabel(QStringLiteral("Label2"), this);
    label5_ = PlainLabel(QStringLiteral("Label5"), this);
    label3_ = PlainLabel(QStringLiteral("Label3"), this);
    label8_ = PlainLabel(QStringLiteral("Label8"), this);
    label10_ = PlainLabel(QStringLiteral("Label10"), this);
    label11_ = PlainLabel(QStringLiteral("Label11"), this);
    labSitoInternet_ = AddressLabel(QStringLiteral("LabSitoInternet"), addresses_.homePage, this,
                                    [this] { LabSitoInternet_Click(); });
    labemail_ = AddressLabel(QStringLiteral("Labemail"), addresses_.contact, this,
                             [this] { Labemail_Click(); });
    labFreeImage_ = new LinkLabel(QStringLiteral("LabFreeImage"), FreeImageAddress(), this,
                                  [this] { LabFreeImage_Click(); });

    auto* facts = new QGridLayout;
    facts->addWidget(label2_, 0, 0, 1, 2);
    facts->addWidget(label5_, 1, 0, 1, 2);
    facts->addWidget(label3_, 2, 0);
    facts->addWidget(labSitoInternet_, 2, 1);
    facts->addWidget(labemail_, 3, 1);
    facts->setColumnStretch(1, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(image1);
    top->addSpacing(12);
    top->addLayout(facts, 1);

    auto* credit = new QHBoxLayout;
    credit->addWidget(labFreeImage_);
    credit->addWidget(label10_);
    credit->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addWidget(label8_);
    layout->addLayout(credit);
    layout->addWidget(label11_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ApplyCaptions(CurrentLanguage());
}

void FormAbout::ApplyCaptions(Language language) {
    const AboutTexts texts = AboutTextsFor(language);
    setWindowTitle(texts.title);
    label2_->setText(texts.version);
    label5_->setText(texts.releaseDate);
    label3_->setText(texts.webSite);
    label8_->setText(texts.libraryUse);
    label10_->setText(texts.forDetails);
    label11_->setText(texts.licence);
    Underline(labSitoInternet_);
    Underline(labemail_);
    Underline(labFreeImage_);
}

void FormAbout::LabSitoInternet_Click() {
    if (!IsPlaceholderAddress(addresses_.homePage)) OpenLink(addresses_.homePage);
}
void FormAbout::Labemail_Click() {
    if (!IsPlaceholderAddress(addresses_.contact))
        OpenLink(QStringLiteral("mailto:") + addresses_.contact);
}
void FormAbout::LabFreeImage_Click() { OpenLink(labFreeImage_->text()); }

void ShowAboutBox(QWidget* owner) {
    FormAbout about(owner);
    about.exec();
}

}  // namespace calmora
