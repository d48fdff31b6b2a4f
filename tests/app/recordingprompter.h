#pragma once

#include "app/prompter.h"

#include <QStringList>

// Answers the windows' questions in tests and remembers every text shown.
class RecordingPrompter final : public App::Prompter
{
public:
    void inform(QWidget *, const QString &text, const QString &) override { shown << text; }
    bool confirm(QWidget *, const QString &text, const QString &) override
    {
        shown << text;
        return answer;
    }

    QStringList shown;
    bool answer = true;
};
