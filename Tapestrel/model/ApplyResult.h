#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <exception>

class OptionModel;

// One option of a profile that could not be applied: which one, where a person finds it, and why.
struct OptionFailure
{
    QString key;
    QStringList displayPath;
    QString message;
    // A later apply took the place of this option's value (OptionSupersededError): nothing was wrong
    // with it.
    bool superseded = false;

    // The failure of a model's apply, with the error's text on one line.
    static OptionFailure of(const OptionModel &model, const std::exception &error);

    // "Apps › Bear › Theme: <message>".
    QString line() const;

    bool operator==(const OptionFailure &) const = default;
};

// What applying a whole profile came to. Every option that could be applied was applied; the ones
// that could not are listed, so that nobody is told a profile was applied when part of it was not.
struct ApplyResult
{
    // The name the profile had when the apply started.
    QString profileName;
    QList<OptionFailure> failures;
    // False when the profile was deleted while it was being applied: the options after that point
    // were never applied.
    bool completed = true;

    bool succeeded() const { return completed && failures.isEmpty(); }
    // Whether every option that was not applied gave way to a later apply: the person or script that
    // made the later apply needs no alarm about this one, only the answer that it was replaced.
    bool onlySuperseded() const;

    // The first line of the report: "Applied “<name>”, but <n> of its settings could not be
    // changed:", or that the profile was deleted before all of it was applied.
    QString headline() const;
    // One line per failed option.
    QStringList lines() const;
    // The headline followed by the lines, each indented, one per line.
    QString text() const;
};
