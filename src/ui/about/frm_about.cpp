#include "ui/about/frm_about.h"

#include "identity/identity.h"
#include "engine/version_text.h"
#include "ui/about/about_layout.h"
#include "ui/controls/label_fonts.h"
#include "ui/controls/twips.h"
#include "ui/controls/utf8_text.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace norvane::ui {
namespace {

// The usage note, with two blanks between its sentences.
const QString UsageNote = QStringLiteral(
    "To use, simply click the open file button and select a text file that has unix based CRLFs (you can "
    "tell by using Notepad, if it is showing the file as if it is all on one line, with strange block shaped "
    "characters where there should be line breaks)  Click the Fix File button to begin the conversion "
    "process.  You may hide the text to make it run faster.  Do not run this utility on files that do not "
    "have a CRLF problem, it will corrupt them!");

const QString IconResource = QStringLiteral(":/norvane/norvane-32.png");

}  // namespace

frmAbout::frmAbout(QWidget* owner, platform::Services platform, MessageSink& messages)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      platform_(platform),
      messages_(messages) {
    setObjectName(QStringLiteral("frmAbout"));
    createControls();
    Form_Load();
    placeOnScreen();
}

void frmAbout::showModal(QWidget& owner, platform::Services platform, MessageSink& messages) {
    frmAbout about(&owner, platform, messages);
    about.exec();
}

void frmAbout::createControls() {
    setFixedSize(twipsToPixels(*this, AboutLayout::ClientSize));
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);
    setFont(dialogFont());

    auto button = [this](const char* name, const QString& caption, QRect twips) {
        auto* control = new QPushButton(caption, this);
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(twipsToPixels(*this, twips));
        return control;
    };
    // Labels are opaque on the button face, break their text at word boundaries and never
    // take the focus.
    auto label = [this](const char* name, QRect twips, const QFont& font, const QColor& colour) {
        auto* control = new QLabel(this);
        control->setObjectName(QString::fromLatin1(name));
        control->setTextFormat(Qt::PlainText);
        control->setWordWrap(true);
        control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        control->setAutoFillBackground(true);
        control->setFont(font);
        QPalette colours = control->palette();
        colours.setColor(QPalette::WindowText, colour);
        control->setPalette(colours);
        control->setGeometry(twipsToPixels(*this, twips));
        return control;
    };
    // The fixed black texts and the grey and white etching are meant for a light button face;
    // on a dark one they would be barely readable or glare, so the palette's shades stand in.
    const bool darkFace = face.color(QPalette::Button).lightnessF() < 0.5;
    const QColor buttonText = palette().color(QPalette::ButtonText);
    const QColor fixedText = darkFace ? buttonText : QColor(0, 0, 0);
    const auto etching = [&](const QColor& fixed) {
        if (!darkFace) return fixed;
        return fixed == AboutLayout::Grey ? palette().color(QPalette::Dark) : palette().color(QPalette::Light);
    };
    const QFont normal = dialogFont();

    cmdOK = button("cmdOK", QStringLiteral("OK"), AboutLayout::cmdOK);

    // A picture box with a sunken 3-D border, sized to its picture.
    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setPixmap(QPixmap(IconResource));
    const int border = picIcon->frameWidth();
    const QRect iconBox = twipsToPixels(*this, AboutLayout::picIcon);
    picIcon->setGeometry(QRect(iconBox.topLeft(), picIcon->pixmap().deviceIndependentSize().toSize() +
                                                      QSize(2 * border, 2 * border)));

    cmdSysInfo = button("cmdSysInfo", QStringLiteral("&System Info..."), AboutLayout::cmdSysInfo);
    lblDescription = label("lblDescription", AboutLayout::lblDescription,
                           dialogFont(AboutLayout::DescriptionFontSize), fixedText);
    lblDisclaimer = label("lblDisclaimer", AboutLayout::lblDisclaimer, normal, fixedText);
    lblTitle = label("lblTitle", AboutLayout::lblTitle, dialogFont(AboutLayout::TitleFontSize, QFont::Bold), fixedText);
    lblVersion = label("lblVersion", AboutLayout::lblVersion, normal, buttonText);
    Label1 = label("Label1", AboutLayout::Label1, normal, buttonText);
    Label1->setText(UsageNote);
    lblCompanyName = label("lblCompanyName", AboutLayout::lblCompanyName,
                           dialogFont(AboutLayout::CompanyFontSize, QFont::Bold), buttonText);

    // The etched separators, drawn on the background behind every other control.
    for (const AboutLayout::Line& line : AboutLayout::Line1) {
        auto* member = new QWidget(this);
        member->setObjectName(QStringLiteral("Line1"));
        member->setProperty("index", line.index);
        QPalette colour = member->palette();
        colour.setColor(QPalette::Window, etching(line.colour));
        member->setPalette(colour);
        member->setAutoFillBackground(true);
        const QPoint from(twipsToPixels(*this, line.twips.x1()), twipsToPixels(*this, line.twips.y1()));
        const int to = twipsToPixels(*this, line.twips.x2());
        member->setGeometry(from.x(), from.y(), to - from.x(), line.widthPixels);
        member->lower();
    }

    // Enter presses OK unless another button has the focus; Esc closes the dialog as OK does.
    cmdOK->setDefault(true);
    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + toQString(identity::Title));
    lblVersion->setText(QStringLiteral("Version ") + toQString(fullVersionText(identity::Version)));
    lblTitle->setText(toQString(identity::Title));
    lblDescription->setText(toQString(identity::FileDescription));
    lblDisclaimer->setText(toQString(identity::LegalCopyright));
    lblCompanyName->setText(toQString(identity::CompanyName));
    for (QLabel* label : {lblDescription, lblDisclaimer, lblTitle, lblVersion, Label1, lblCompanyName})
        fitTextToBox(*label);
}

// The client area's top-left corner goes to a fixed place on the owner's screen, not
// centred on the owner. Where the window system places windows itself (Wayland), the
// request is ignored and the dialog appears where the compositor puts it.
void frmAbout::placeOnScreen() {
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    setGeometry(QRect(origin + QPoint(twipsToPixels(*this, AboutLayout::ScreenPosition.x()),
                                      twipsToPixels(*this, AboutLayout::ScreenPosition.y())),
                      size()));
}

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

}  // namespace norvane::ui
