#include "scale/resultpopup.h"

#include "context/appcontext.h"
#include "context/texts.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>

namespace quillon {

namespace {
QPointer<ResultPopup> g_current;

QPixmap loadBitmap(const QString& programDir, const char* name)
{
    QString dir = programDir;
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return QPixmap(dir + QStringLiteral("Icon/") + QString::fromLatin1(name));
}
} // namespace

ResultPopup* ResultPopup::current()
{
    return g_current.data();
}

ResultPopup::ResultPopup(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("PopupMsg"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 240));
    // Dark text on the fixed light ground, whatever the theme.
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("popupTitle"));
    QFont f(QStringLiteral("Arial"), 12);
    f.setBold(true);
    f.setUnderline(true);
    m_title->setFont(f);
    m_title->setTextFormat(Qt::PlainText);

    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("popupClose"));
    m_close->setAutoRaise(true);
    m_close->setCursor(Qt::PointingHandCursor);
    m_close->setFocusPolicy(Qt::NoFocus);
    connect(m_close, &QToolButton::clicked, this, &QWidget::close);

    m_kind = new QLabel(this);
    m_kind->setObjectName(QStringLiteral("popupKind"));

    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("popupMessage"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A report over many scales is longer than the pop-up is high.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("popupMessageArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(m_message);
    m_messageArea = scroll;
    scroll->viewport()->setAutoFillBackground(false);
    m_message->setAutoFillBackground(false);

    m_copy = new QPushButton(GetLangString(QStringLiteral("frmMain"), QStringLiteral("cmdCopyReport")), this);
    m_copy->setObjectName(QStringLiteral("popupCopy"));
    connect(m_copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(m_message->text()); });
    m_saveCsv = new QPushButton(GetLangString(QStringLiteral("frmMain"), QStringLiteral("cmdSaveReportCsv")), this);
    m_saveCsv->setObjectName(QStringLiteral("popupSaveCsv"));
    m_saveCsv->hide();
    connect(m_saveCsv, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, m_saveCsv->text(), QString(), QStringLiteral("CSV (*.csv)"));
        if (path.isEmpty())
            return;
        QString error;
        if (!saveCsv(path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) ? path : path + QStringLiteral(".csv"),
                     &error))
            QMessageBox::warning(this, QString(),
                                 GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgReportNotSaved")).arg(error));
    });
}

void ResultPopup::setCsv(const QByteArray& csv)
{
    m_csv = csv;
    m_saveCsv->setVisible(!csv.isEmpty());
}

QPushButton* ResultPopup::addActionButton(const QString& caption, std::function<void()> action)
{
    const QPushButton* before = m_saveCsv->isVisible() ? m_saveCsv : m_copy;
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QStringLiteral("popupAction"));
    button->setGeometry(before->geometry().right() + 7, before->y(), button->sizeHint().width(), before->height());
    button->show();
    connect(button, &QPushButton::clicked, this, [this, action = std::move(action)] {
        close();
        action();
    });
    return button;
}

bool ResultPopup::saveCsv(const QString& path, QString* error) const
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(m_csv) == m_csv.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

void ResultPopup::mousePressEvent(QMouseEvent* e)
{
    m_dragging = e->button() == Qt::LeftButton;
    m_dragOffset = e->globalPosition().toPoint() - pos();
}

void ResultPopup::mouseMoveEvent(QMouseEvent* e)
{
    if (m_dragging && (e->buttons() & Qt::LeftButton))
        move(e->globalPosition().toPoint() - m_dragOffset);
}

void ResultPopup::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(e);
}

void ResultPopup::paintEvent(QPaintEvent* e)
{
    QWidget::paintEvent(e);
    QPainter p(this);
    p.setPen(QColor(120, 120, 120));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

ResultPopup* ShowPopupMsg(QWidget* mainWindow, const QString& programDir, const QString& message,
                       const QString& title, int kind)
{
    // One pop-up at a time: the new result replaces the one shown.
    if (g_current) {
        g_current->hide();
        delete g_current.data();
    }
    QWidget* main = mainWindow ? mainWindow->window() : nullptr;
    const QRect outer = main ? main->frameGeometry() : QRect(0, 0, 800, 600);
    const int w = qMax(120, qRound(outer.width() / 2.0));
    const int h = qMax(80, qRound(outer.height() / 2.0));

    auto* popup = new ResultPopup(main);
    g_current = popup;
    const QString caption = !title.isEmpty()
                                ? title
                                : (kind == ResultPopup::KindError ? QStringLiteral("Error") : QStringLiteral("Information"));
    popup->m_title->setText(caption);
    popup->m_title->setGeometry(QRect(QPoint(35, 15), QPoint(w - 26, 35)));

    popup->m_close->setGeometry(QRect(QPoint(w - 20, 14), QPoint(w - 4, 30)));
    const QPixmap closeBmp = loadBitmap(programDir, "Close.bmp");
    if (!closeBmp.isNull()) {
        popup->m_close->setIcon(QIcon(closeBmp));
        popup->m_close->setIconSize(closeBmp.size().boundedTo(QSize(16, 16)));
    }

    popup->m_kind->setGeometry(QRect(QPoint(12, 15), QPoint(28, 31)));
    const char* kindFile = kind == ResultPopup::KindInformation ? "info.bmp"
                           : kind == ResultPopup::KindError     ? "error.bmp"
                                                             : nullptr;
    if (kindFile)
        popup->m_kind->setPixmap(loadBitmap(programDir, kindFile));

    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    popup->m_message->setText(text);
    // A report's lines pad each address to one width; they line up only in a fixed-pitch font.
    if (text.contains(QLatin1Char('\n')))
        popup->m_message->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The buttons take a row under the message.
    const int buttonH = popup->m_copy->sizeHint().height();
    popup->m_messageArea->setGeometry(QRect(QPoint(10, 40), QPoint(w - 10, h - 16 - buttonH)));
    const int copyW = popup->m_copy->sizeHint().width(), saveW = popup->m_saveCsv->sizeHint().width();
    popup->m_copy->setGeometry(10, h - 10 - buttonH, copyW, buttonH);
    popup->m_saveCsv->setGeometry(16 + copyW, h - 10 - buttonH, saveW, buttonH);

    popup->resize(w, h);
    QScreen* scr = main && main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    const QRect screen = scr ? scr->geometry() : QRect(0, 0, 1024, 768);
    const int right = qMin(outer.x() + outer.width(), screen.x() + screen.width());
    const int bottom = qMin(outer.y() + outer.height(), screen.y() + screen.height());
    popup->move(qMax(screen.x(), right - w), qMax(screen.y(), bottom - h));
    popup->show();
    return popup;
}

ResultPopup* ShowPopupMsg(QWidget* mainWindow, const QString& message, const QString& title, int kind)
{
    return ShowPopupMsg(mainWindow, App().paths.g_strAppPath, message, title, kind);
}

} // namespace quillon
