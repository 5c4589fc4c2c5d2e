#pragma once

#include <QString>
#include <QStringList>

namespace larkspire::qt {

struct SnapshotResult {
    QStringList written;  // absolute paths of the pictures
    QStringList failed;   // what could not be drawn or written
};

// Draws every surface the program has — the status icon in its states, the menu, each settings tab —
// into PNG files in `folder`, on a fresh in-memory account so the user's settings are never touched.
SnapshotResult writeSnapshots(const QString& folder);

}  // namespace larkspire::qt
