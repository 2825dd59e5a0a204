// Nudges the calling thread's scheduling priority, the way the Windows thread priorities above and below
// normal do. Unprivileged users may only lower it; a refusal leaves the thread as it is.
#pragma once

enum class EThreadPriority { BelowNormal, AboveNormal };

void SetCurrentThreadPriority(EThreadPriority priority);
