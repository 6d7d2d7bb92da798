// Copy and zero fill. Unit increments are block moves and block fills, which
// the C library already runs at memory speed on every processor; the strided
// forms go one element at a time, i = 1..n, so overlapping strided vectors see
// earlier stores. No arithmetic: bits pass unchanged.
#include <cstring>

#include "QorVARDMathKernel/vector.h"
#include "kernels/vector/stride.h"

namespace {

template <class T>
void copy_strided(int n, const T *x, int incx, T *y, int incy) {
  std::ptrdiff_t ix = qvk::first_offset(n, incx);
  std::ptrdiff_t iy = qvk::first_offset(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] = x[ix];
}

template <class T>
void copy(int n, const T *x, int incx, T *y, int incy) {
  if (n <= 0) return;
  if (incx == 1 && incy == 1)
    std::memmove(y, x, static_cast<std::size_t>(n) * sizeof(T));
  else
    copy_strided(n, x, incx, y, incy);
}

template <class T>
void zero(int n, T *x, int incx) {
  if (n <= 0) return;
  if (incx == 1) {
    std::memset(x, 0, static_cast<std::size_t>(n) * sizeof(T));
    return;
  }
  std::ptrdiff_t ix = qvk::first_offset(n, incx);
  for (int i = 0; i < n; ++i, ix += incx) x[ix] = T(0);
}

}  // namespace

extern "C" {

void e_dcopy(const int *n, const double *x, const int *incx, double *y, const int *incy) {
  copy(*n, x, *incx, y, *incy);
}

void e_icopy(const int *n, const int *ix, const int *incx, int *iy, const int *incy) {
  copy(*n, ix, *incx, iy, *incy);
}

void e_dzero(const int *n, double *x, const int *incx) { zero(*n, x, *incx); }

void e_izero(const int *n, int *ix, const int *incx) { zero(*n, ix, *incx); }

}  // extern "C"
