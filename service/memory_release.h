#pragma once

namespace zentravo::lookup {

// Hands memory the allocator holds but no longer uses back to the system. glibc
// keeps what a burst of connections freed in its arenas for ever otherwise; this
// walks every arena, so call it now and then, not per request.
void ReleaseFreeMemory();

}  // namespace zentravo::lookup
