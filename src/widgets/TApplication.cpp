#include "widgets/TApplication.h"

#include "firebird/EIB_Error.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

namespace {
TApplication::BoxHook& boxHook() {
    static TApplication::BoxHook hook;
    return hook;
}
} // namespace

QString TApplication::TitleFromPath(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

QString TApplication::Title() {
    return TitleFromPath(QCoreApplication::applicationFilePath());
}

void TApplication::SetBoxHook(BoxHook hook) {
    boxHook() = std::move(hook);
}

void TApplication::ShowBox(BoxKind kind, const QString& text) {
    if (boxHook()) {
        boxHook()(kind, Title(), text);
        return;
    }
    QMessageBox box(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, Title(),
                    text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize size = box.sizeHint();
        box.move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2);
    }
    box.exec();
}

void TApplication::ShowMessage(const QString& text) {
    ShowBox(BoxKind::Message, text);
}

QString TApplication::ErrorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

QString TApplication::MessageOf(const std::exception& e) {
    if (const auto* ib = dynamic_cast<const EIB_Error*>(&e))
        return ib->Message();
    return QString::fromLocal8Bit(e.what());
}

void TApplication::ShowErrorText(const QString& message) {
    ShowBox(BoxKind::Error, ErrorBoxText(message));
}

void TApplication::ShowException(const std::exception& e) {
    ShowErrorText(MessageOf(e));
}

void TApplication::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowErrorText(QStringLiteral("Erro desconhecido"));
    }
}
