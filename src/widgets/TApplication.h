#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

// The application object's services that the program relies on: its title, the program's own
// message boxes and the default error box.
class TApplication {
public:
    enum class BoxKind { Message, Error };
    // Called instead of showing a modal box when set (tests record the boxes through it).
    using BoxHook = std::function<void(BoxKind, const QString& caption, const QString& text)>;

    // The executable's file name without its folder, cut at the first '.', every letter after
    // the first in lower case.
    static QString Title();
    static QString TitleFromPath(const QString& executablePath);

    // A modal box with the text, one OK button and no icon, centred on the screen.
    static void ShowMessage(const QString& text);

    // The default error box: the stop icon, one OK button and the failure's message.
    static void ShowException(const std::exception& e);
    static void ShowErrorText(const QString& message);

    // Runs a handler; an exception that leaves it goes to the default error box.
    static void Guard(const std::function<void()>& handler);

    // The failure's message as the error box shows it: a full stop is added when the message
    // ends in a character whose code is above that of '.'.
    static QString ErrorBoxText(const QString& message);
    static QString MessageOf(const std::exception& e);

    static void SetBoxHook(BoxHook hook);

private:
    static void ShowBox(BoxKind kind, const QString& text);
};
