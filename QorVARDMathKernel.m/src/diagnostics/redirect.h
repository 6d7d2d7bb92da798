// Standard-output redirection around one channel write.
//
// With a listing open, the standard-output descriptor is duplicated,
// pointed at the listing for the one write, then restored and the
// duplicate closed. With no listing, or when the duplication or the
// redirection fails, the write goes to the ordinary standard output. No
// flush is made: the channels write to the descriptor before returning.
#ifndef QVK_DIAGNOSTICS_REDIRECT_H
#define QVK_DIAGNOSTICS_REDIRECT_H

#include <utility>

namespace qvk::diag {

struct Redirection {
  Redirection();   // points standard output at the listing, if any
  ~Redirection();  // restores it and closes the saved descriptor
  Redirection(const Redirection &) = delete;
  Redirection &operator=(const Redirection &) = delete;

 private:
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
