#pragma once

// Putting text on the clipboard.

#include "runtime/scoped_win.h"
#include "text/text.h"

namespace zentravo {

// A movable, zero-initialised global memory block holding `text` and its
// terminating zero byte, as CF_TEXT wants it. Null when it cannot be allocated.
ScopedGlobalMemory MakeClipboardTextBlock(const Text& text);

// Opens the clipboard (no owner window), empties it and hands it `block` as
// CF_TEXT; the clipboard then owns the block. True when the clipboard took it.
// A null block, a clipboard that cannot be opened (another program holds it)
// and a clipboard that refuses the block all give false; the first two leave the
// clipboard exactly as it was. A block not taken is freed.
bool PutTextBlockOnClipboard(ScopedGlobalMemory block);

// Places `text` on the clipboard as CF_TEXT (an empty text gives an empty
// clipboard text): MakeClipboardTextBlock, then PutTextBlockOnClipboard. True
// when the text is on the clipboard. The block is made before the clipboard is
// touched, so a failed allocation costs the user nothing they had copied.
bool SetClipboardText(const Text& text);

}  // namespace zentravo
