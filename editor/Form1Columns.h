#pragma once

namespace quorbel {

// The main window's list columns, in the order of the entry's fields.
enum ListColumn { DueByColumn = 0, ProjectColumn = 1, NotesColumn = 2, DoneColumn = 3 };

} // namespace quorbel
