// How the library's messages reach the listing, and the one lock that
// orders them.
//
// Every message and every change of the listing state (open, move,
// close) happens under one process-wide lock, so a message never goes to
// a descriptor that is being closed and two messages never mix.
//
// print_text / print_line: the library's own messages. The whole message
// goes in one write to the listing's descriptor (or to standard output
// when no listing is open); descriptor 1 is never moved.
//
// to_listing(write): for code that can only write through a channel's
// own TraPut/TraPutLN/TraPrint. Standard output is duplicated, pointed at
// the listing for that one call, then restored and the duplicate closed;
// when the duplication or the redirection fails the write goes to the
// ordinary standard output. The lock is held throughout, so only a
// thread writing to descriptor 1 by itself, outside the library, can see
// the moved descriptor.
#ifndef QVK_DIAGNOSTICS_REDIRECT_H
#define QVK_DIAGNOSTICS_REDIRECT_H

#include <cstddef>
#include <mutex>
#include <utility>

class QorTrace;

namespace qvk::diag {

// The lock of the listing. Recursive: a write made under to_listing may
// itself print. Never destroyed, so a thread printing at exit finds it.
std::recursive_mutex &listing_lock();

// Writes length bytes as one message on channel at level 2. Returns the
// channel's result: bytes written, 0 when the channel is silent, negative
// when the write failed (the message is then dropped).
int print_text(QorTrace &channel, const char *text, size_t length);
// The zero-terminated text as it is (null writes nothing).
int print_text(QorTrace &channel, const char *text);
// The text followed by a line feed, in the same single write.
int print_line(QorTrace &channel, const char *text);

struct Redirection {
  Redirection();   // takes the lock, points standard output at the listing
  ~Redirection();  // restores it, closes the saved descriptor, unlocks
  Redirection(const Redirection &) = delete;
  Redirection &operator=(const Redirection &) = delete;

 private:
  std::lock_guard<std::recursive_mutex> _Hold;
  int _Stdout = -1;
  int _Saved = -1;
  int _Redirected = -1;
};

// Runs write() with standard output pointed at the listing.
template <class F>
void to_listing(F &&write) {
  Redirection scope;
  std::forward<F>(write)();
}

}  // namespace qvk::diag

#endif
