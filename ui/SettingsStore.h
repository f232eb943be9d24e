#pragma once
#include "store/Settings.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <typeinfo>
#include <vector>

class QAbstractButton;
class QAction;
class QLineEdit;
class QSpinBox;
class QSplitter;
class QWidget;

namespace zra::ui {

class TextGrid;

// One window's settings in its section of the settings file. Each time the
// window is shown it reads the window's placement (position, size, window
// state) and its stored properties back, then runs restoreStep. When the
// program hides the window (closing it, a dialog's accept or reject; not a
// spontaneous hide such as minimising) it writes the placement and the
// properties, runs saveStep and flushes the file; a failure is shown over the
// window, which still closes. A window never shown writes nothing, nor does
// one whose destructors hide it (its own members are gone by then): its owner
// calls saveIfShown() before destroying it.
class SettingsStore : public QObject {
    Q_OBJECT
public:
    // The store is a child of the window; file must outlive it.
    SettingsStore(QWidget* window, const QString& section, store::SettingsFile& file);

    // Stored properties: read back at show (a missing or damaged value, or
    // one outside the widget's range, keeps what the widget has) and written
    // at save, in the order they were added.
    void storeRowTitles(const QString& key, TextGrid* grid);    // column 0 of rows 1..
    void storeColumnTitles(const QString& key, TextGrid* grid); // row 0 of columns 0..
    void storeValue(const QString& key, QSpinBox* box);
    void storeChecked(const QString& key, QAction* action);
    void storeChecked(const QString& key, QAbstractButton* button);
    void storeText(const QString& key, QLineEdit* edit);
    // The width of the splitter's first pane.
    void storeSplitter(const QString& key, QSplitter* splitter);
    // A widget's width; a pane of a splitter gets it through the splitter.
    void storeWidth(const QString& key, QWidget* widget);
    // Widths of the columns first..last under the keys prefix + column
    // number ("SG_konfig_cw_0"), each with its default (also for a width
    // outside 0..MaxColumnWidthPx). Only columns the grid
    // has are written, so a column it lacks keeps its earlier value.
    void storeColumnWidths(const QString& prefix, TextGrid* grid, int first, int last,
                           std::function<int(int column)> fallback);

    // The window's own values, run after the placement and the properties.
    std::function<void(store::SettingsFile& file, const QString& section)> restoreStep;
    std::function<void(store::SettingsFile& file, const QString& section)> saveStep;

    // Saves when the window was shown and not saved since (at exit).
    void saveIfShown();

    const QString& section() const { return m_section; }
    store::SettingsFile& file() const { return m_file; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Property {
        std::function<void()> restore;
        std::function<void()> save;
    };
    void add(QObject* target, std::function<void()> restore, std::function<void()> save);
    // An integer read back only when within low..high.
    void addInteger(const QString& key, QObject* target, int low, int high,
                    std::function<int()> get, std::function<void(int)> set);
    void addTitles(const QString& key, TextGrid* grid, bool rowTitles);
    void restore();
    void save();
    void restorePlacement();
    void savePlacement();

    QPointer<QWidget> m_window;
    QString m_section;
    store::SettingsFile& m_file;
    std::vector<Property> m_properties;
    const std::type_info* m_shownClass = nullptr; // the window's type when last shown
    bool m_unsaved = false;
};

} // namespace zra::ui
