! Solver code calls the vector kernels by their plain names, every argument by
! reference, as ordinary external procedures.
program vector_calls
  implicit none
  double precision :: x(6), y(6), a, b, c, s
  double precision :: e_dasum, e_dnrm2, damax, e_ddoti
  integer :: e_idamax, indx(3), iv(4), i
  logical :: ok
  external :: e_dcopy, e_daxpy, e_dscal, e_dswap, e_drotg, e_daxpyi, e_izero

  ok = .true.
  x = (/ 3d0, -4d0, 12d0, 0.5d0, -0.25d0, 2d0 /)
  y = 1d0
  call e_daxpy(6, 2d0, x, 1, y, 1)
  call check(y(1) == 7d0 .and. y(3) == 25d0 .and. y(6) == 5d0, 'e_daxpy')
  call e_dcopy(3, x, -1, y, 1)
  call check(y(1) == 12d0 .and. y(2) == -4d0 .and. y(3) == 3d0, 'e_dcopy incx -1')
  call e_dscal(2, 0.5d0, y, 2)
  call check(y(1) == 6d0 .and. y(3) == 1.5d0 .and. y(2) == -4d0, 'e_dscal inc 2')
  call check(e_dasum(6, x, 1) == 21.75d0, 'e_dasum')
  call check(e_dnrm2(2, x, 1) == 5d0, 'e_dnrm2')
  call check(e_idamax(6, x, 1) == 3, 'e_idamax')
  call check(damax(3, x, 2) == 12d0, 'damax inc 2')
  call e_dswap(2, x, 1, y, 1)
  call check(x(1) == 6d0 .and. y(2) == -4d0, 'e_dswap')
  a = 4d0
  b = 3d0
  call e_drotg(a, b, c, s)
  call check(a == 5d0 .and. abs(c - 0.8d0) < 1d-15 .and. abs(s - 0.6d0) < 1d-15, 'e_drotg')
  indx = (/ 2, 4, 6 /)
  y = 0d0
  call e_daxpyi(3, 1d0, (/ 1d0, 2d0, 3d0 /), indx, y)
  call check(y(4) == 2d0 .and. y(6) == 3d0, 'e_daxpyi')
  call check(e_ddoti(3, (/ 1d0, 1d0, 1d0 /), indx, y) == 6d0, 'e_ddoti')
  iv = (/ (i, i = 1, 4) /)
  call e_izero(2, iv, 2)
  call check(iv(1) == 0 .and. iv(2) == 2 .and. iv(3) == 0, 'e_izero')

  if (.not. ok) stop 1
  print '(a)', 'vector kernels from Fortran: ok'

contains

  subroutine check(cond, what)
    logical, intent(in) :: cond
    character(*), intent(in) :: what
    if (.not. cond) then
      print '(2a)', 'FAIL: ', what
      ok = .false.
    end if
  end subroutine check

end program vector_calls
