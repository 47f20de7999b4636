#pragma once

class AppConfig;
class QWidget;

// The "Get More Themes..." button beside a theme option.
class GetMoreThemesButtonBuilder
{
public:
    // A button that opens the application's theme gallery in the browser, or nullptr (nothing to
    // show) when the application has no gallery.
    static QWidget *build(const AppConfig *config, QWidget *parent = nullptr);
};
