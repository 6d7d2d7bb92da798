! Solver code factors a small stiffness block, solves with it and with a
! packed triangle, and multiplies a sparse matrix, all by the plain names with
! every argument by reference (character arguments with their hidden lengths).
program packed_calls
  implicit none
  ! A = L*L' with L = [2 0 0; 1 1 0; -1 2 4]: exact in binary floating point.
  double precision :: ap(6), b(3, 2), x(3), piv, y(4), xv(4), av(7), r
  integer :: info, seed, ia(5), ja(7)
  logical :: ok
  external :: eaxfch, e_dpptrs, e_dtpsv, eaxmvm, eaxrnd

  ok = .true.
  ! Upper packed A: a11, a12, a22, a13, a23, a33.
  ap = (/ 4d0, 2d0, 2d0, -2d0, 1d0, 21d0 /)
  info = -1
  call eaxfch(0, 1, 3, 0d0, ap, info, piv)
  call check(info == 0 .and. all(ap == (/ 2d0, 1d0, 1d0, -1d0, 2d0, 4d0 /)), 'eaxfch')

  ! A*(1,2,3)' = (2, 9, 63)' and A*(0,-1,1)' = (-4, -1, 20)'.
  b(:, 1) = (/ 2d0, 9d0, 63d0 /)
  b(:, 2) = (/ -4d0, -1d0, 20d0 /)
  info = 0
  call e_dpptrs('U', 3, 2, ap, b, 3, info)
  call check(info == 0 .and. all(b(:, 1) == (/ 1d0, 2d0, 3d0 /)) &
             .and. all(b(:, 2) == (/ 0d0, -1d0, 1d0 /)), 'e_dpptrs')
  call e_dpptrs('L', 3, 1, ap, b, 3, info)
  call check(info == 1, 'e_dpptrs lower')

  ! U*x = (-1, 6, 12)' with U = L': x = (1, 0, 3)', the zero skipping column 2.
  x = (/ -1d0, 6d0, 12d0 /)
  call e_dtpsv('U', 'N', 'N', 3, ap, x, 1)
  call check(all(x == (/ 1d0, 0d0, 3d0 /)), 'e_dtpsv')

  ! Symmetric product with the tridiagonal (-1, 2, -1) matrix of order 4,
  ! rows holding their lower neighbour, then the diagonal.
  ia = (/ 0, 1, 3, 5, 7 /)
  ja = (/ 0, 1, 0, 2, 0, 3, 0 /)
  av = (/ 2d0, -1d0, 2d0, -1d0, 2d0, -1d0, 2d0 /)
  xv = (/ 1d0, 2d0, 3d0, 4d0 /)
  call eaxmvm(1, 7, 4, 4, 1, ja, ia, av, xv, y)
  call check(all(y == (/ 0d0, 0d0, 0d0, 5d0 /)), 'eaxmvm')

  seed = 1
  call eaxrnd(seed, r)
  call check(seed == 65539, 'eaxrnd')

  if (.not. ok) stop 1
  print '(a)', 'packed kernels from Fortran: ok'

contains

  subroutine check(cond, what)
    logical, intent(in) :: cond
    character(*), intent(in) :: what
    if (.not. cond) then
      print '(2a)', 'FAIL: ', what
      ok = .false.
    end if
  end subroutine check

end program packed_calls
