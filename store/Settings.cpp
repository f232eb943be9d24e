#include "store/Settings.h"

#include "store/ToolFiles.h"
#include "text/Cp1250.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <typeinfo>

namespace zra::store {

namespace {

// A settings file is small text; anything else at its path is not one.
constexpr qint64 MaxSettingsBytes = 1 << 20;
// Pixel values beyond these are damaged (and would overflow sums).
constexpr int MaxPixels = 100000;

// Text that an editor of the code page's time wrote: Windows-1250 bytes
// without the controls and undefined bytes that only binary data holds.
bool IsCp1250Text(const QByteArray& bytes) {
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool control = b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != 0x1A;
        const bool undefined = b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98;
        if (control || undefined)
            return false;
    }
    return true;
}

enum class Content { Absent, Settings, Unreadable, NotSettings };

Content ReadContent(const QString& path, QByteArray* bytes) {
    const QFileInfo info(path);
    if (!info.exists())
        return Content::Absent;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) // a directory does not open either
        return Content::Unreadable;
    if (file.size() > MaxSettingsBytes)
        return Content::NotSettings;
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Content::Unreadable;
    if (bytes->contains('\0'))
        return Content::NotSettings;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(*bytes);
    if (!utf8.hasError())
        return Content::Settings;
    // Not UTF-8: a file edited in the format's own code page. It is read as
    // Windows-1250 and goes on as UTF-8, so the next write saves it so.
    if (!IsCp1250Text(*bytes))
        return Content::NotSettings;
    *bytes = text::FromCp1250(*bytes).toUtf8();
    return Content::Settings;
}

// Qt's INI reader and writer work on files only: the text goes through a
// private copy, so that the settings file itself is only ever replaced whole,
// and Qt's cache of INI files never holds an outdated view of it.
std::optional<QByteArray> ThroughIni(const QByteArray& content,
                                     const std::function<void(QSettings&)>& use) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return {};
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    {
        QFile copy(path);
        if (!copy.open(QIODevice::WriteOnly) || copy.write(content) != content.size())
            return {};
    }
    {
        QSettings ini(path, QSettings::IniFormat);
        use(ini);
        ini.sync();
        // A format error only means lines that are not key=value: they are dropped.
        if (ini.status() == QSettings::AccessError)
            return {};
    }
    QFile result(path);
    if (!result.open(QIODevice::ReadOnly))
        return {};
    return result.readAll();
}

QString FullKey(const QString& section, const QString& key) {
    return section + u'/' + key;
}

QString UnableToWrite(const QString& path) {
    return QStringLiteral("Unable to write to %1").arg(path);
}

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

// ---- the file ----

SettingsFile::SettingsFile(const QString& path) : m_path(path) {
    QByteArray content;
    if (ReadContent(path, &content) != Content::Settings)
        return;
    ThroughIni(content, [this](QSettings& ini) {
        for (const QString& key : ini.allKeys())
            if (!key.isEmpty() && !key.endsWith(QLatin1Char('/'))) // a line without a key
                m_values.insert(key, ini.value(key));
    });
}

QVariant SettingsFile::value(const QString& section, const QString& key) const {
    return m_values.value(FullKey(section, key));
}

void SettingsFile::set(const QString& section, const QString& key, const QVariant& value) {
    const QString full = FullKey(section, key);
    m_values.insert(full, value);
    m_unwritten.insert(full);
}

std::optional<int> SettingsFile::integer(const QString& section, const QString& key) const {
    const QVariant v = value(section, key);
    if (v.typeId() != QMetaType::QString)
        return {};
    bool ok = false;
    const int n = v.toString().toInt(&ok, 10);
    return ok ? std::optional<int>(n) : std::nullopt;
}

QString SettingsFile::text(const QString& section, const QString& key,
                           const QString& fallback) const {
    const QVariant v = value(section, key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    // A text with commas that was typed into the file without quotes.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return fallback;
}

bool SettingsFile::contains(const QString& section, const QString& key) const {
    return m_values.contains(FullKey(section, key));
}

std::optional<QStringList> SettingsFile::texts(const QString& section, const QString& key) const {
    if (!contains(section, key))
        return {};
    const QVariant v = value(section, key);
    // One text reads back as a plain value; an empty list as no value.
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QStringList)
        return v.toStringList();
    return QStringList();
}

void SettingsFile::setInteger(const QString& section, const QString& key, int value) {
    set(section, key, QString::number(value));
}

void SettingsFile::setText(const QString& section, const QString& key, const QString& value) {
    set(section, key, value);
}

void SettingsFile::setTexts(const QString& section, const QString& key, const QStringList& values) {
    set(section, key, values);
}

bool SettingsFile::flush(QString* error) {
    if (m_unwritten.isEmpty())
        return true;
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QByteArray old;
    switch (ReadContent(m_path, &old)) {
    case Content::Unreadable: // what cannot be read is not replaced
        return fail(UnableToWrite(m_path));
    case Content::NotSettings:
        return fail(QStringLiteral("Soubor %1 není soubor nastavení, nastavení nebylo uloženo")
                        .arg(m_path));
    case Content::Absent:
    case Content::Settings:
        break;
    }
    const auto merged = ThroughIni(old, [this](QSettings& ini) {
        for (const QString& key : std::as_const(m_unwritten))
            ini.setValue(key, m_values.value(key));
    });
    // The file may hold the remembered password: the user's only.
    if (!merged || !WriteWholeFile(m_path, *merged, nullptr, UserOnly))
        return fail(UnableToWrite(m_path));
    m_unwritten.clear();
    return true;
}

// ---- the store ----

SettingsStore::SettingsStore(QWidget* window, const QString& section, SettingsFile& file)
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

void SettingsStore::addTitles(const QString& key, ui::TextGrid* grid, bool rowTitles) {
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

void SettingsStore::storeRowTitles(const QString& key, ui::TextGrid* grid) {
    addTitles(key, grid, true);
}

void SettingsStore::storeColumnTitles(const QString& key, ui::TextGrid* grid) {
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

void SettingsStore::storeColumnWidths(const QString& prefix, ui::TextGrid* grid, int first,
                                      int last, std::function<int(int column)> fallback) {
    add(
        grid,
        [=, this] {
            for (int column = first; column <= last; ++column) {
                const auto width = m_file.integer(m_section, prefix + QString::number(column));
                const bool valid = width && *width >= 0 && *width <= MaxColumnWidthPx;
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
        ui::ShowWarning(m_window, error);
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

} // namespace zra::store
