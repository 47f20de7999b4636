#pragma once

#include "Tapestrel/apps/obsidian/JSONController.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

// The two appearance settings of a vault that profiles set. A member the file lacks (Obsidian
// leaves out what was never changed) or holds as something other than text has no value.
struct ObsidianAppearanceFile
{
    std::optional<QString> accentColor; // "" for Obsidian's default colour, else "#RRGGBB"
    std::optional<QString> cssTheme; // "" for Obsidian's built-in theme, else a theme's name
};

// The chosen vault's ".obsidian/appearance.json", opened for one apply or read and dropped after it.
class ObsidianAppearanceFileController
{
public:
    static inline const QString relativePath = QStringLiteral(".obsidian/appearance.json");
    static inline const char *accentColorMember = "accentColor";
    static inline const char *cssThemeMember = "cssTheme";

    // The path of the chosen vault's file; none when no vault is chosen or the vault has no such file.
    static std::optional<QString> filePath();
    // The chosen vault's file. None when no vault is chosen or the vault has no such file (nothing is
    // ever created). Throws JSONFileError when the file is there but cannot be read or parsed.
    static std::optional<ObsidianAppearanceFileController> open();
    // The same for reading: none for every failure.
    static std::optional<ObsidianAppearanceFileController> load();

    // The two values as read.
    ObsidianAppearanceFile appearance;

    const JSONController &jc() const { return m_jc; }

    // What both option models do, with the file work on the thread pool. Writing sets one member
    // of the chosen vault's file, which it creates in the vault's ".obsidian" folder when it is
    // missing; without a chosen vault it does nothing. It throws OptionModelError (for the option
    // `optionKey`) when the vault has no ".obsidian" folder, or when the file cannot be read, parsed or
    // written. Reading gives the member's text, or none.
    enum class Member { accentColor, cssTheme };
    static QCoro::Task<void> write(Member member, QString value, QString optionKey);
    static QCoro::Task<std::optional<QString>> read(Member member);

private:
    explicit ObsidianAppearanceFileController(JSONController jc);

    JSONController m_jc;
};
