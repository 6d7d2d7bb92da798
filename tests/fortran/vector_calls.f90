! Solver code calls the vector kernels by their plain names, every argument by
! reference, as ordinary external procedures.
program vector_calls
  implicit none
  double precision :: x(6), y(6), a, b, c, s
  double precision :: e_dasum, e_dnrm2, damax, e_ddoti
  integer :: e_idamax, indx(3), iv(4), i
  external :: e_dcopy, e_daxpy, e_dscal, e_dswap, e_drotg, e_daxpyi, e_izero

  x = (/ 3d0, -4d0, 12d0, 0.5d0, -0.25d0, 2d0 /)
  y = 1d0
  call e_daxpy(6, 2d0, x, 1, y, 1)
  if (y(1) /= 7d0 .or. y(3) /= 25d0 .or. y(6) /= 5d0) print *, 'FAIL: e_daxpy'
  call e_dcopy(3, x, -1, y, 1)
  if (any(y(1:3) /= (/ 12d0, -4d0, 3d0 /))) print *, 'FAIL: e_dcopy incx -1'
  call e_dscal(2, 0.5d0, y, 2)
  if (any(y(1:3) /= (/ 6d0, -4d0, 1.5d0 /))) print *, 'FAIL: e_dscal inc 2'
  if (e_dasum(6, x, 1) /= 21.75d0) print *, 'FAIL: e_dasum'
  if (e_dnrm2(2, x, 1) /= 5d0) print *, 'FAIL: e_dnrm2'
  if (e_idamax(6, x, 1) /= 3) print *, 'FAIL: e_idamax'
  if (damax(3, x, 2) /= 12d0) print *, 'FAIL: damax inc 2'
  call e_dswap(2, x, 1, y, 1)
  if (x(1) /= 6d0 .or. y(2) /= -4d0) print *, 'FAIL: e_dswap'
  a = 4d0
  b = 3d0
  call e_drotg(a, b, c, s)
  if (a /= 5d0 .or. abs(c - 0.8d0) > 1d-15 .or. abs(s - 0.6d0) > 1d-15) print *, 'FAIL: e_drotg'
  indx = (/ 2, 4, 6 /)
  y = 0d0
  call e_daxpyi(3, 1d0, (/ 1d0, 2d0, 3d0 /), indx, y)
  if (y(4) /= 2d0 .or. y(6) /= 3d0) print *, 'FAIL: e_daxpyi'
  if (e_ddoti(3, (/ 1d0, 1d0, 1d0 /), indx, y) /= 6d0) print *, 'FAIL: e_ddoti'
  iv = (/ (i, i = 1, 4) /)
  call e_izero(2, iv, 2)
  if (any(iv /= (/ 0, 2, 0, 4 /))) print *, 'FAIL: e_izero'
  print '(a)', 'vector kernels from Fortran: done'
end program vector_calls
