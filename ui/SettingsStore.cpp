#include "ui/SettingsStore.h"

#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <algorithm>

namespace zra::ui {

namespace {

// Pixel values beyond these are damaged (and would overflow sums).
constexpr int MaxPixels = 100000;

// Gives the pane of a splitter its size; the next pane (the previous one for
// the last) takes up the difference, so the others keep theirs.
void SetPaneSize(QSplitter* splitter, int pane, int size) {
    QList<int> sizes = splitter->sizes();
    if (pane < 0 || pane >= sizes.size())
        return;
    const int other = pane + 1 < sizes.size() ? pane + 1 : pane - 1;
    if (other >= 0)
        sizes[other] = std::max(0, sizes[other] + sizes[pane] - size);
    sizes[pane] = size;
    splitter->setSizes(sizes);
}

// The rectangle moved and cut to lie inside the available area of a screen:
// the one it mostly lies on, else the window's own.
QRect OnScreen(const QRect& wanted, const QWidget& window) {
    QScreen* screen = QGuiApplication::screenAt(wanted.center());
    if (!screen) {
        qint64 best = 0;
        for (QScreen* candidate : QGuiApplication::screens()) {
            const QRect common = candidate->availableGeometry() & wanted;
            const qint64 area = qint64(common.width()) * common.height();
            if (area > best) {
                best = area;
                screen = candidate;
            }
        }
    }
    if (!screen)
        screen = window.screen();
    if (!screen)
        return wanted;
    // The frame (known once the window was shown) stays on the screen too.
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    const QRect area = screen->availableGeometry().marginsRemoved(
        QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                 frame.right() - inner.right(), frame.bottom() - inner.bottom()));
    const QSize size =
        wanted.size().expandedTo(window.minimumSize()).boundedTo(area.size()).expandedTo({0, 0});
    const int x = std::clamp(wanted.x(), area.left(), area.left() + area.width() - size.width());
    const int y = std::clamp(wanted.y(), area.top(), area.top() + area.height() - size.height());
    return {QPoint(x, y), size};
}

const QString PlacementLeft = QStringLiteral("Placement.Left");
const QString PlacementTop = QStringLiteral("Placement.Top");
const QString PlacementWidth = QStringLiteral("Placement.Width");
const QString PlacementHeight = QStringLiteral("Placement.Height");
const QString PlacementState = QStringLiteral("Placement.State"); // 0 normal, 1 max, 2 min

} // namespace

SettingsStore::SettingsStore(QWidget* window, const QString& section, store::SettingsFile& file)
    : QObject(window), m_window(window), m_section(section), m_file(file) {
    window->installEventFilter(this);
}

void SettingsStore::add(QObject* target, std::function<void()> restore,
                        std::function<void()> save) {
    // A widget that is gone is skipped.
    QPointer<QObject> alive(target);
    m_properties.push_back({[alive, restore = std::move(restore)] {
                                if (alive)
                                    restore();
                            },
                            [alive, save = std::move(save)] {
                                if (alive)
                                    save();
                            }});
}

void SettingsStore::addInteger(const QString& key, QObject* target, int low, int high,
                               std::function<int()> get, std::function<void(int)> set) {
    add(
        target,
        [=, this] {
            const auto v = m_file.integer(m_section, key);
            if (v && *v >= low && *v <= high)
                set(*v);
        },
        [=, this] { m_file.setInteger(m_section, key, get()); });
}

void SettingsStore::addTitles(const QString& key, TextGrid* grid, bool rowTitles) {
    // Title i: column 0 of row i + 1, or row 0 of column i.
    const auto count = [=] { return rowTitles ? grid->rowCount() - 1 : grid->columnCount(); };
    const auto cell = [=](int i) { return rowTitles ? QPoint(0, i + 1) : QPoint(i, 0); };
    add(
        grid,
        [=, this] {
            const QStringList titles = m_file.texts(m_section, key).value_or(QStringList());
            for (int i = 0; i < count() && i < titles.size(); ++i)
                grid->setCell(cell(i).x(), cell(i).y(), titles[i]);
        },
        [=, this] {
            QStringList titles;
            for (int i = 0; i < count(); ++i)
                titles << grid->cell(cell(i).x(), cell(i).y());
            m_file.setTexts(m_section, key, titles);
        });
}

void SettingsStore::storeRowTitles(const QString& key, TextGrid* grid) {
    addTitles(key, grid, true);
}

void SettingsStore::storeColumnTitles(const QString& key, TextGrid* grid) {
    addTitles(key, grid, false);
}

void SettingsStore::storeValue(const QString& key, QSpinBox* box) {
    // Within the field's range as it is at the show.
    add(
        box,
        [=, this] {
            const auto v = m_file.integer(m_section, key);
            if (v && *v >= box->minimum() && *v <= box->maximum())
                box->setValue(*v);
        },
        [=, this] { m_file.setInteger(m_section, key, box->value()); });
}

void SettingsStore::storeChecked(const QString& key, QAction* action) {
    addInteger(
        key, action, 0, 1, [action] { return action->isChecked() ? 1 : 0; },
        [action](int v) { action->setChecked(v == 1); });
}

void SettingsStore::storeChecked(const QString& key, QAbstractButton* button) {
    addInteger(
        key, button, 0, 1, [button] { return button->isChecked() ? 1 : 0; },
        [button](int v) { button->setChecked(v == 1); });
}

void SettingsStore::storeText(const QString& key, QLineEdit* edit) {
    add(
        edit, [=, this] { edit->setText(m_file.text(m_section, key, edit->text())); },
        [=, this] { m_file.setText(m_section, key, edit->text()); });
}

void SettingsStore::storeSplitter(const QString& key, QSplitter* splitter) {
    addInteger(
        key, splitter, 0, MaxPixels, [splitter] { return splitter->sizes().value(0); },
        [splitter](int left) { SetPaneSize(splitter, 0, left); });
}

void SettingsStore::storeWidth(const QString& key, QWidget* widget) {
    addInteger(
        key, widget, 0, MaxPixels, [widget] { return widget->width(); },
        [widget](int width) {
            if (auto* splitter = qobject_cast<QSplitter*>(widget->parentWidget()))
                SetPaneSize(splitter, splitter->indexOf(widget), width);
            else
                widget->resize(width, widget->height());
        });
}

void SettingsStore::storeColumnWidths(const QString& prefix, TextGrid* grid, int first, int last,
                                      std::function<int(int column)> fallback) {
    add(
        grid,
        [=, this] {
            for (int column = first; column <= last; ++column) {
                const auto width = m_file.integer(m_section, prefix + QString::number(column));
                const bool valid = width && *width >= 0 && *width <= store::MaxColumnWidthPx;
                grid->setColumnWidthPx(column, valid ? *width : fallback(column));
            }
        },
        [=, this] {
            for (int column = first; column <= last && column < grid->columnCount(); ++column)
                m_file.setInteger(m_section, prefix + QString::number(column),
                                  grid->columnWidthPx(column));
        });
}

void SettingsStore::saveIfShown() {
    if (m_unsaved)
        save();
}

bool SettingsStore::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && !event->spontaneous()) {
        if (event->type() == QEvent::Show) {
            m_shownClass = &typeid(*m_window);
            restore();
        } else if (event->type() == QEvent::Hide && m_unsaved) {
            // While the window's destructors run (its base classes hide it)
            // its dynamic type is a base class: its own parts are gone, so
            // that hide saves nothing.
            if (typeid(*m_window) == *m_shownClass)
                save();
        }
    }
    return QObject::eventFilter(watched, event);
}

void SettingsStore::restore() {
    m_unsaved = true;
    restorePlacement();
    for (const Property& property : m_properties)
        property.restore();
    if (restoreStep)
        restoreStep(m_file, m_section);
}

void SettingsStore::save() {
    m_unsaved = false;
    savePlacement();
    for (const Property& property : m_properties)
        property.save();
    if (saveStep)
        saveStep(m_file, m_section);
    QString error;
    if (!m_file.flush(&error))
        ShowWarning(m_window, error);
}

void SettingsStore::restorePlacement() {
    const auto value = [this](const QString& key, int low) {
        const auto v = m_file.integer(m_section, key);
        return v && *v >= low && *v <= MaxPixels ? v : std::nullopt;
    };
    const auto left = value(PlacementLeft, -MaxPixels);
    const auto top = value(PlacementTop, -MaxPixels);
    const auto width = value(PlacementWidth, 1);
    const auto height = value(PlacementHeight, 1);
    if (left && top && width && height)
        m_window->setGeometry(OnScreen(QRect(*left, *top, *width, *height), *m_window));

    const auto state = m_file.integer(m_section, PlacementState);
    if (!state || *state < 0 || *state > 2)
        return;
    Qt::WindowStates states = m_window->windowState() &
                              ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (*state == 1)
        states |= Qt::WindowMaximized;
    else if (*state == 2)
        states |= Qt::WindowMinimized;
    m_window->setWindowState(states);
}

void SettingsStore::savePlacement() {
    const QRect normal = m_window->normalGeometry();
    const QRect g = normal.isValid() ? normal : m_window->geometry();
    m_file.setInteger(m_section, PlacementLeft, g.x());
    m_file.setInteger(m_section, PlacementTop, g.y());
    m_file.setInteger(m_section, PlacementWidth, g.width());
    m_file.setInteger(m_section, PlacementHeight, g.height());
    m_file.setInteger(m_section, PlacementState,
                      m_window->isMinimized()   ? 2
                      : m_window->isMaximized() ? 1
                                                : 0);
}

} // namespace zra::ui
