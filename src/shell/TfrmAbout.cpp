#include "shell/TfrmAbout.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/Guard.h"
#include "platform/Seams.h"
#include "platform/VersionInfo.h"
#include "shell/HelpTexts.h"
#include "widgets/WaveAnimator.h"

namespace keldrin {

namespace {

template <typename T>
T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TfrmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    setFixedSize(209, 279);

    Image1 = named(new QLabel(this), "Image1");
    Image1->setGeometry(10, 10, 48, 48);
    Image1->setAlignment(Qt::AlignCenter);

    lblApplicationTitle = named(new QLabel(this), "lblApplicationTitle");
    lblApplicationTitle->setGeometry(66, 18, 135, 32);
    QFont title = lblApplicationTitle->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.6);
    lblApplicationTitle->setFont(title);

    Version = named(new QLabel(QStringLiteral("Version: Lastest"), this), "Version");
    Version->setGeometry(10, 64, 189, 70);
    Version->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Version->setWordWrap(true);

    Label1 = named(
        new QLabel(QStringLiteral("Program the way you think, not the way that things happen"),
                   this),
        "Label1");
    Label1->setGeometry(10, 138, 189, 52);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    RxGIFAnimator1 = named(new WaveAnimator(this), "RxGIFAnimator1");
    RxGIFAnimator1->setGeometry(10, 196, 189, 38);

    BitBtn1 = named(new QPushButton(QStringLiteral("Thanks! "), this), "BitBtn1");
    BitBtn1->setGeometry(10, 242, 92, 28);
    BitBtn1->setFlat(true);
    BitBtn1->setToolTip(QStringLiteral("Really T h a n k s ! ! !"));
    BitBtn1->setDefault(true);

    BitBtn2 = named(new QPushButton(QStringLiteral("Cancel"), this), "BitBtn2");
    BitBtn2->setGeometry(107, 242, 92, 28);
    BitBtn2->setFlat(true);

    connectGuarded(BitBtn1, &QPushButton::clicked, this, "BitBtn1Click",
                   [this] { BitBtn1Click(); });
    connectGuarded(BitBtn2, &QPushButton::clicked, this, "BitBtn2Click",
                   [this] { BitBtn2Click(); });

    FormCreate();
    hide();
}

void TfrmAbout::FormCreate() {
    const QWidget* mainWindow = parentWidget() ? parentWidget()->window() : nullptr;
    const QIcon icon = mainWindow ? mainWindow->windowIcon() : QApplication::windowIcon();
    Image1->setPixmap(icon.pixmap(48, 48));
    lblApplicationTitle->setText(platform::applicationTitle());
}

void TfrmAbout::FormActivate() {
    // The running file as it is now: a program replaced on disk shows its new size and time.
    const QString program = platform::programPath();
    const QFileInfo file(program);
    const qint64 size = file.exists() ? file.size() : 0;
    const QString when = file.exists() ? FileTimeText(file.lastModified()) : QString();
    Version->setText(AboutVersionText(platform::GetFileVersion(program), size, when));
    RxGIFAnimator1->start();
}

void TfrmAbout::BitBtn1Click() {
    close();
}

void TfrmAbout::BitBtn2Click() {
    const QString program = platform::programPath();
    platform::messageBoxes().show(
        platform::BoxIcon::About,
        platform::GetFileVersionString(program, QStringLiteral("InternalName")),
        ProgramAboutText(platform::GetFileVersion(program)));
}

void TfrmAbout::showEvent(QShowEvent* event) {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
    guarded("FormActivate", [this] { FormActivate(); });
}

void TfrmAbout::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Coming back to the box from another window counts as activating it again.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible())
        guarded("FormActivate", [this] { FormActivate(); });
}

}  // namespace keldrin
