#pragma once

#include "platform/Wording.h"

#include <QString>
#include <QStringList>

namespace larkspire::qt {

struct SnapshotResult {
    QStringList written;  // absolute paths of the pictures
    QStringList failed;   // what could not be drawn or written
};

// Draws every surface the program has — the status icon in its states, the menu, each settings tab —
// into PNG files in `folder`, on a fresh in-memory account so the user's settings are never touched.
// The texts are worded by `words`; `language`, when given, ends each file name ("status-menu-en.png").
SnapshotResult writeSnapshots(const QString& folder, const Wording& words = sourceWording(),
                              const QString& language = {});

}  // namespace larkspire::qt
