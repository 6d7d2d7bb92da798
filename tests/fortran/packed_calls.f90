! Solver code factors a small stiffness block, solves with it and with a
! packed triangle, and multiplies a sparse matrix, all by the plain names with
! every argument by reference (character arguments with their hidden lengths).
program packed_calls
  implicit none
  ! A = L*L' with L = [2 0 0; 1 1 0; -1 2 4]: exact in binary floating point.
  double precision :: ap(6), b(3, 2), x(3), piv, y(4), r
  integer :: info, info2, seed
  logical :: ok
  external :: eaxfch, e_dpptrs, e_dtpsv, eaxmvm, eaxrnd

  ! Upper packed A: a11, a12, a22, a13, a23, a33.
  ap = (/ 4d0, 2d0, 2d0, -2d0, 1d0, 21d0 /)
  info = -1
  call eaxfch(0, 1, 3, 0d0, ap, info, piv)
  ok = info == 0 .and. all(ap == (/ 2d0, 1d0, 1d0, -1d0, 2d0, 4d0 /))
  ! A*(1,2,3)' = (2, 9, 63)' and A*(0,-1,1)' = (-4, -1, 20)'; lower is refused.
  b = reshape((/ 2d0, 9d0, 63d0, -4d0, -1d0, 20d0 /), (/ 3, 2 /))
  info = 0
  call e_dpptrs('U', 3, 2, ap, b, 3, info)
  info2 = 0
  call e_dpptrs('L', 3, 1, ap, b, 3, info2)
  ok = ok .and. info == 0 .and. info2 == 1 .and. &
       all(b == reshape((/ 1d0, 2d0, 3d0, 0d0, -1d0, 1d0 /), (/ 3, 2 /)))
  ! U*x = (-1, 6, 12)' with U = L': x = (1, 0, 3)', the zero skipping column 2.
  x = (/ -1d0, 6d0, 12d0 /)
  call e_dtpsv('U', 'N', 'N', 3, ap, x, 1)
  ok = ok .and. all(x == (/ 1d0, 0d0, 3d0 /))
  ! Symmetric product with the tridiagonal (-1, 2, -1) matrix of order 4,
  ! rows holding their lower neighbour, then the diagonal.
  call eaxmvm(1, 7, 4, 4, 1, (/ 0, 1, 0, 2, 0, 3, 0 /), (/ 0, 1, 3, 5, 7 /), &
              (/ 2d0, -1d0, 2d0, -1d0, 2d0, -1d0, 2d0 /), (/ 1d0, 2d0, 3d0, 4d0 /), y)
  ok = ok .and. all(y == (/ 0d0, 0d0, 0d0, 5d0 /))
  seed = 1
  call eaxrnd(seed, r)
  ok = ok .and. seed == 65539
  if (.not. ok) then
    print '(a)', 'FAIL: packed kernels from Fortran'
    stop 1
  end if
  print '(a)', 'packed kernels from Fortran: ok'
end program packed_calls
