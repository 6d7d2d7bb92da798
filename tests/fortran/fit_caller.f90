! Solver code fits values at scattered points with its own basis evaluator,
! an integer function with nine by-reference arguments.
integer function linbasis(i1, i0, m, j1, j0, x, scratch, p, info)
  implicit none
  integer, intent(in) :: i1, i0, m, j1, j0
  double precision, intent(in) :: x(3)
  double precision :: scratch
  double precision, intent(out) :: p(m)
  integer :: info
  ! 1, x, y, z at the scaled coordinates; fails on a point far outside.
  linbasis = 0
  if (i1 /= 1 .or. i0 /= 0 .or. j1 /= 1 .or. j0 /= 0) linbasis = 1
  if (abs(x(1)) > 1d3) linbasis = 1
  p(1) = 1d0
  p(2:4) = x
  scratch = 0d0
  info = 42
end function linbasis

program fit_caller
  implicit none
  integer, external :: eaxrmc3, linbasis
  double precision :: xyz(3, 6), x0(3), u(6), wt(6), f, coef(4)
  double precision :: a(4, 4), w(16), z(4, 4), b(6, 4), p(4)
  integer :: info, status, i
  logical :: ok

  ok = .true.
  ! Six points of a box, values of 2 + x - 3y + 0.5z.
  xyz = reshape((/ 0d0, 0d0, 0d0,  1d0, 0d0, 0d0,  0d0, 1d0, 0d0, &
                   0d0, 0d0, 1d0,  1d0, 1d0, 1d0,  1d0, 0d0, 1d0 /), (/ 3, 6 /))
  do i = 1, 6
    u(i) = 2d0 + xyz(1, i) - 3d0 * xyz(2, i) + 0.5d0 * xyz(3, i)
  end do
  wt = 1d0
  x0 = (/ 0.5d0, 0.25d0, 0.75d0 /)
  info = -5
  status = eaxrmc3(4, 6, xyz, x0, u, f, linbasis, a, w, z, b, p, coef, wt, info)
  call check(status == 0 .and. info == 0 .and. abs(f - 2.125d0) < 1d-12, 'eaxrmc3')

  ! The evaluator's failure at the target is passed on, with f = 0.
  x0(1) = 1d9
  status = eaxrmc3(4, 6, xyz, x0, u, f, linbasis, a, w, z, b, p, coef, wt, info)
  call check(status == 1 .and. f == 0d0, 'eaxrmc3 failure')

  if (.not. ok) stop 1
  print '(a)', 'fit from Fortran: ok'

contains

  subroutine check(cond, what)
    logical, intent(in) :: cond
    character(*), intent(in) :: what
    if (.not. cond) then
      print '(2a)', 'FAIL: ', what
      ok = .false.
    end if
  end subroutine check

end program fit_caller
