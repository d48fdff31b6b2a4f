#pragma once

#include "app/prompter.h"

#include <QStringList>

#include <functional>

// Answers the windows' questions in tests and remembers every text shown.
class RecordingPrompter final : public App::Prompter
{
public:
    void inform(QWidget *, const QString &text, const QString &) override { shown << text; }
    bool confirm(QWidget *, const QString &text, const QString &) override
    {
        shown << text;
        // What happens while a real question would wait for the user.
        if (whileAsking)
            whileAsking();
        return answer;
    }

    QStringList shown;
    bool answer = true;
    std::function<void()> whileAsking;
};
