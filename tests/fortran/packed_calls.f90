! Solver code calls the kernels by their plain names, every argument by
! reference (letters with hidden lengths), the ordering's scalars by value
! through an interface; the fit calls back the solver's own evaluator.
integer function linbasis(i1, i0, m, j1, j0, x, scratch, p, info)
  implicit none
  integer, intent(in) :: i1, i0, m, j1, j0
  double precision, intent(in) :: x(3)
  double precision :: scratch
  double precision, intent(out) :: p(m)
  integer :: info
  ! 1, x, y, z at the scaled coordinates; fails on a point far outside.
  linbasis = 0
  if (i1 /= 1 .or. i0 /= 0 .or. j1 /= 1 .or. j0 /= 0 .or. abs(x(1)) > 1d3) linbasis = 1
  p(1) = 1d0
  p(2:4) = x
  scratch = 0d0
  info = 42
end function linbasis

program packed_calls
  use, intrinsic :: iso_c_binding, only: c_int
  implicit none
  interface
    subroutine mmd(neqns, xadj, adjncy, invp, perm, delta, dhead, qsize, llist, marker, maxint, nofsub) &
        bind(c, name='mmd')
      import :: c_int
      integer(c_int), value :: neqns, delta, maxint
      integer(c_int) :: xadj(*), adjncy(*), invp(*), perm(*), dhead(*), qsize(*), llist(*), marker(*), nofsub
    end subroutine
  end interface
  double precision :: e_dasum
  integer :: e_idamax, easlff_nt, eaxrmc3, linbasis, ehaldb
  external :: e_dcopy, eaxfch, e_dpptrs, linbasis
  double precision :: a(3,2), b(2,4), c(4,4), y(4), s, rhs(3,2), xyz(3,6), x0(3), u(6), wt(6), f, coef(4)
  double precision :: fa(4,4), fw(16), fz(4,4), fb(6,4), fp(4)
  double precision :: x(4) = (/ 3d0, -4d0, 12d0, 0.5d0 /), ap(6) = (/ 4d0, 2d0, 2d0, -2d0, 1d0, 21d0 /)
  double precision :: front(3) = (/ 4d0, 2d0, 3d0 /), dorig(2) = (/ 4d0, 3d0 /), ratiomin = 1d0
  integer :: xadj(4) = (/ 1, 2, 4, 5 /), adj(4) = (/ 2, 1, 3, 2 /), count = 0, stats = 0
  integer :: info, info2, i, invp(3), perm(3), ws(12), nofsub, status
  real :: f1 = 0.0, f2 = 0.0
  logical :: ok

  ! C(1:3,:) := 2*A*B on small integers (exact) with ldc 4: row 4 untouched.
  a = reshape((/ 4d0, 5d0, 6d0, 7d0, 8d0, 9d0 /), (/ 3, 2 /))
  b = reshape((/ 0d0, 1d0, -1d0, 0d0, -2d0, -1d0, -3d0, -2d0 /), (/ 2, 4 /))
  c = -7d0
  call eagemm('n', 'N', 3, 4, 2, 2d0, a, 3, b, 2, 0d0, c, 4)
  ok = all(c(1:3,:) == 2d0 * matmul(a, b)) .and. all(c(4,:) == -7d0)
  ! A subroutine with a negative increment, a double and an integer function.
  call e_dcopy(3, x, -1, y, 1)
  s = e_dasum(4, x, 1)
  i = e_idamax(4, x, 1)
  ok = ok .and. all(y(1:3) == (/ 12d0, -4d0, 3d0 /)) .and. s == 19.5d0 .and. i == 3

  ! A = L*L', L = [2 0 0; 1 1 0; -1 2 4], upper packed: two right-hand sides.
  call eaxfch(0, 1, 3, 0d0, ap, info, s)
  rhs = reshape((/ 2d0, 9d0, 63d0, -4d0, -1d0, 20d0 /), (/ 3, 2 /))
  info2 = 0
  call e_dpptrs('U', 3, 2, ap, rhs, 3, info2)
  ok = ok .and. info == 0 .and. info2 == 0 .and. all(rhs == reshape((/ 1d0, 2d0, 3d0, 0d0, -1d0, 1d0 /), (/ 3, 2 /)))

  ! The ordering of the path 1 - 2 - 3; [4 2; 2 3] = L D L', d = (4, 2).
  call mmd(3, xadj, adj, invp, perm, 0, ws(1), ws(4), ws(7), ws(10), huge(1), nofsub)
  ok = ok .and. all(perm == (/ 3, 1, 2 /)) .and. nofsub == 4
  i = easlff_nt(2, 2, front, ratiomin, dorig, 0d0, 0d0, count, stats, f1, f2, status)
  ok = ok .and. i == 0 .and. all(front == (/ 4d0, 0.5d0, 2d0 /)) .and. stats == 2 .and. f1 == 6.0

  ! 2 + x - 3y + 0.5z at six points; a failure at the target gives f = 0.
  xyz = reshape((/ 0d0, 0d0, 0d0, 1d0, 0d0, 0d0, 0d0, 1d0, 0d0, 0d0, 0d0, 1d0, 1d0, 1d0, 1d0, 1d0, 0d0, 1d0 /), &
                (/ 3, 6 /))
  u = 2d0 + xyz(1, :) - 3d0 * xyz(2, :) + 0.5d0 * xyz(3, :)
  wt = 1d0
  x0 = (/ 0.5d0, 0.25d0, 0.75d0 /)
  i = eaxrmc3(4, 6, xyz, x0, u, f, linbasis, fa, fw, fz, fb, fp, coef, wt, info)
  ok = ok .and. i == 0 .and. info == 0 .and. abs(f - 2.125d0) < 1d-12
  x0(1) = 1d9
  i = eaxrmc3(4, 6, xyz, x0, u, f, linbasis, fa, fw, fz, fb, fp, coef, wt, info)
  ok = ok .and. i == 1 .and. f == 0d0

  ! The memory probes: integers out of subroutines and of a function.
  call ehucpu(info)
  call ehalmxc(status)
  call ehumem(count)
  i = ehaldb(stats)
  if (.not. ok .or. info < 0 .or. status < 0 .or. count < 1 .or. count > 268000000 .or. i /= 0 .or. stats /= 0) then
    print '(a)', 'FAIL: kernels from Fortran'
    stop 1
  end if
  print '(a)', 'packed kernels from Fortran: ok'
end program packed_calls
