// The shared text grid: titles as headers, cell access, numbers, sizes,
// colours, cell buttons and row selection.
#include "ui/TextGrid.h"

#include "tests/support/QtPrinters.h"
#include <QFontMetrics>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using zra::ui::TextGrid;

namespace {
TextGrid* grid(int cols, int rows) {
    auto* g = new TextGrid;
    g->setColumnCount(cols);
    g->setRowCount(rows);
    return g;
}
} // namespace

TEST(TextGrid, TitlesAreHeadersAndCellsKeepTheirText) {
    std::unique_ptr<TextGrid> g(grid(3, 4));
    g->setCell(0, 0, "Popis");
    g->setCell(1, 0, "Hodnota");
    g->setCell(0, 2, "Počet fází");
    g->setCell(1, 2, "3");
    EXPECT_EQ(g->model()->rowCount(), 3);
    EXPECT_EQ(g->model()->columnCount(), 2);
    EXPECT_EQ(g->model()->headerData(0, Qt::Horizontal).toString(), "Hodnota");
    EXPECT_EQ(g->model()->headerData(1, Qt::Vertical).toString(), "Počet fází");
    EXPECT_EQ(g->model()->index(1, 0).data().toString(), "3");
    EXPECT_EQ(g->cell(0, 0), "Popis");
    EXPECT_EQ(g->cell(9, 9), "") << "outside the grid reads empty";
    g->setCell(9, 9, "x"); // and writes nowhere

    // Shrinking drops cells, growing brings empty ones.
    g->setRowCount(2);
    g->setRowCount(4);
    EXPECT_EQ(g->cell(1, 2), "");
    EXPECT_EQ(g->cell(1, 0), "Hodnota");
    g->setRowCount(0);
    EXPECT_EQ(g->rowCount(), 1) << "the title row always stays";
}

TEST(TextGrid, WithoutTitleColumnColumnZeroIsData) {
    std::unique_ptr<TextGrid> g(grid(3, 2));
    g->setFixed(1, 0);
    g->setCell(0, 1, "42");
    EXPECT_EQ(g->model()->columnCount(), 3);
    EXPECT_EQ(g->model()->index(0, 0).data().toString(), "42");
}

TEST(TextGrid, NumbersInAndOut) {
    std::unique_ptr<TextGrid> g(grid(2, 2));
    g->setInteger(1, 1, -123456789012LL);
    EXPECT_EQ(g->cell(1, 1), "-123456789012");
    EXPECT_EQ(g->integerAt(1, 1), -123456789012LL);
    g->setDecimal(1, 1, 229.96, 1);
    EXPECT_EQ(g->cell(1, 1), QLocale::system().toString(230.0, 'f', 1));
    EXPECT_DOUBLE_EQ(*g->decimalAt(1, 1), 230.0);
    g->setCell(1, 1, "");
    EXPECT_EQ(g->integerAt(1, 1), 0);
    EXPECT_EQ(g->decimalAt(1, 1), 0.0);
    g->setCell(1, 1, "12,5");
    EXPECT_DOUBLE_EQ(*g->decimalAt(1, 1), 12.5) << "a comma separator reads too";
    g->setCell(1, 1, "abc");
    EXPECT_FALSE(g->decimalAt(1, 1).has_value());
    EXPECT_FALSE(g->integerAt(1, 1).has_value());
}

TEST(TextGrid, SizesAndHiddenRowsAndColumns) {
    std::unique_ptr<TextGrid> g(grid(4, 5));
    g->setColumnWidthPx(0, 150);
    g->setColumnWidthPx(1, 64);
    g->setColumnWidthPx(3, 0);
    EXPECT_EQ(g->columnWidthPx(0), 150);
    EXPECT_EQ(g->verticalHeader()->width(), 150);
    EXPECT_EQ(g->columnWidthPx(1), 64);
    EXPECT_EQ(g->columnWidthPx(3), 0);
    EXPECT_TRUE(g->isColumnHidden(2));
    g->setRowHeightPx(2, 0);
    EXPECT_EQ(g->rowHeightPx(2), 0);
    g->setRowHeightPx(2, 21);
    EXPECT_EQ(g->rowHeightPx(2), 21);
    EXPECT_EQ(g->rowHeightPx(3), 21) << "default row height";
}

TEST(TextGrid, AFittingWidthIsItsWidestTextsInTheFontItHas) {
    const QStringList columns[] = {
        {"iiiiiiiiii", "WWWWWW", "ll"}, {"Ř", "", "ŽŽŽŽ", "1,5", "ZRA_MUST_BE_OFF"}, {"", ""}};
    for (const QStringList& texts : columns) {
        std::unique_ptr<TextGrid> g(grid(2, int(texts.size())));
        int widest = 0;
        for (int r = 0; r < texts.size(); ++r) {
            g->setCell(1, r, texts[r]);
            widest = std::max(widest, QFontMetrics(g->font()).horizontalAdvance(texts[r]));
        }
        EXPECT_EQ(g->fittingColumnWidth(1), widest + 12) << texts.join('|').toStdString();
        // Measured again in a larger font: the texts' widths in that font.
        QFont larger = g->font();
        larger.setPointSize(larger.pointSize() * 2);
        g->setFont(larger);
        widest = 0;
        for (const QString& text : texts)
            widest = std::max(widest, QFontMetrics(larger).horizontalAdvance(text));
        EXPECT_EQ(g->fittingColumnWidth(1), widest + 12) << texts.join('|').toStdString();
    }
}

TEST(TextGrid, ColoursButtonsAndSelection) {
    std::unique_ptr<TextGrid> g(grid(3, 4));
    g->cellBackground = [](int col, int row) -> std::optional<QColor> {
        if (col == 2 && row == 3)
            return QColor(Qt::yellow);
        return std::nullopt;
    };
    EXPECT_EQ(g->model()->index(2, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
    EXPECT_FALSE(g->model()->index(1, 1).data(Qt::BackgroundRole).isValid());

    g->setCellButton(2, 1, "Edit");
    int clickedCol = -1, clickedRow = -1;
    QObject::connect(g.get(), &TextGrid::buttonClicked, [&](int c, int r) {
        clickedCol = c;
        clickedRow = r;
    });
    auto* button = qobject_cast<QPushButton*>(g->cellButton(2, 1));
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(clickedCol, 2);
    EXPECT_EQ(clickedRow, 1);

    g->setMultiRowSelection(true);
    g->selectRowNumber(3);
    g->selectRowNumber(1);
    EXPECT_EQ(g->selectedRowNumbers(), (std::vector<int>{1, 3}));
    // Rows as a user picks them: a click, then Ctrl+click another.
    g->resize(400, 300);
    g->show();
    const auto click = [&](int row, Qt::KeyboardModifiers keys) {
        const QRect cell = g->visualRect(g->model()->index(row - 1, 0));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, keys, cell.center());
    };
    click(2, Qt::NoModifier);
    EXPECT_EQ(g->selectedRowNumbers(), (std::vector<int>{2}));
    click(3, Qt::ControlModifier);
    EXPECT_EQ(g->selectedRowNumbers(), (std::vector<int>{2, 3}));
    click(1, Qt::NoModifier);
    EXPECT_EQ(g->selectedRowNumbers(), (std::vector<int>{1})) << "a plain click picks anew";
    g->clearSelection();
    EXPECT_TRUE(g->selectedRowNumbers().empty());
}
