#include "cli/ViewReads.h"

#include "reads/ViewTable.h"

namespace zra::cli {

QList<store::ViewKind> AllViews() {
    QList<store::ViewKind> kinds;
    for (const reads::TableView& v : reads::TableViews())
        kinds << v.kind;
    return kinds;
}

QString ViewName(store::ViewKind view) {
    const reads::TableView* v = reads::FindView(view);
    return v ? v->cliName : QString();
}

std::optional<QList<ViewTable>> ReadViews(link::DeviceClient& client,
                                          link::AlarmDescriptions& descriptions,
                                          const QList<store::ViewKind>& views) {
    reads::ReadContext context{client, descriptions};
    reads::ReadTables tables;
    QList<ViewTable> out;
    for (const store::ViewKind kind : views) {
        // A read may have brought this table with another (the alarms with
        // the system block).
        if (!tables.contains(kind)) {
            const reads::TableView* view = reads::FindView(kind);
            if (!view || !view->read(context, tables) || !tables.contains(kind))
                return std::nullopt;
        }
        out.append({kind, tables.at(kind)});
    }
    return out;
}

} // namespace zra::cli
