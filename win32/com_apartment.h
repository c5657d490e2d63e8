#pragma once

// The calling thread's one COM apartment: single-threaded and without OLE 1 DDE, as the shell asks of a
// thread that calls ShellExecute. Made at the first call on the thread, kept until the thread ends; all
// that needs COM calls this first, so that whichever comes first makes it the same way.
void EnsureComApartment();
