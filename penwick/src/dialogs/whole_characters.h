// The edits of the editor's dialogs never hold half a surrogate pair: a length limit that
// cuts into a pair (Qt's cuts by 16-bit units) or text pasted from elsewhere would otherwise
// hand one to the record.
#pragma once

class QWidget;

namespace penwick {

/// \brief Every edit of the dialog, a combo box's included, drops the half of a pair that a
/// length limit or a paste leaves in it; made once the dialog's controls stand.
void KeepWholeCharacters(QWidget& dialog);

}  // namespace penwick
