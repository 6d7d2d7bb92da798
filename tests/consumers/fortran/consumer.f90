! A Fortran program built against an installed library through its
! interface module: every call is checked at compile time.
program consumer
  use qorvardmathkernel
  implicit none
  double precision :: a(2,3), b(3,2), c(2,2), ap(6), rhs(3), piv, x(4)
  integer :: info, checks
  logical :: ok

  ok = .true.
  ! C := A*B; option letters' lengths are explicit with the module.
  a = reshape((/ 1d0, 2d0, 3d0, 4d0, 5d0, 6d0 /), (/ 2, 3 /))
  b = reshape((/ 1d0, 0d0, -1d0, 2d0, 1d0, 0d0 /), (/ 3, 2 /))
  c = -1d0
  call eagemm('N', 'N', 2, 2, 3, 1d0, a, 2, b, 3, 0d0, c, 2, 1, 1)
  call check(all(c == reshape((/ -4d0, -4d0, 5d0, 8d0 /), (/ 2, 2 /))), 'eagemm')

  ! A = U'U, U = [2 1 -1; 0 1 2; 0 0 4], then A*x = (2, 9, 63)'.
  ap = (/ 4d0, 2d0, 2d0, -2d0, 1d0, 21d0 /)
  rhs = (/ 2d0, 9d0, 63d0 /)
  piv = 0d0
  call eaxfch(0, 1, 3, 0d0, ap, info, piv)
  call check(info == 0 .and. ap(6) == 4d0, 'eaxfch')
  info = 0
  call e_dpptrs('U', 3, 1, ap, rhs, 3, info, 1)
  call check(info == 0 .and. all(rhs == (/ 1d0, 2d0, 3d0 /)), 'e_dpptrs')

  x = (/ 1d0, -2d0, 3d0, -4d0 /)
  call check(e_dasum(4, x, 1) == 10d0 .and. e_idamax(4, x, 1) == 4, 'e_dasum, e_idamax')
  call e_dscal(4, 0.5d0, x, 1)
  call check(all(x == (/ 0.5d0, -1d0, 1.5d0, -2d0 /)), 'e_dscal')

  if (.not. ok) stop 1
  checks = 5
  call ehprini('Fortran consumer checks passed: '//c_null_char, checks)

contains

  subroutine check(cond, what)
    logical, intent(in) :: cond
    character(*), intent(in) :: what
    if (.not. cond) then
      print '(2a)', 'FAIL: ', what
      ok = .false.
    end if
  end subroutine check

end program consumer
