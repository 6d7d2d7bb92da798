! Solver code orders a graph and eliminates a front: the ordering takes its
! scalars by value through an interface, the other routines are ordinary
! externals with every argument by reference.
program sparse_calls
  use, intrinsic :: iso_c_binding, only: c_int
  implicit none
  interface
    subroutine mmd(neqns, xadj, adjncy, invp, perm, delta, dhead, qsize, llist, marker, &
                   maxint, nofsub) bind(c, name='mmd')
      import :: c_int
      integer(c_int), value :: neqns, delta, maxint
      integer(c_int) :: xadj(*), adjncy(*), invp(*), perm(*), dhead(*), qsize(*), &
                        llist(*), marker(*), nofsub
    end subroutine
  end interface
  integer, external :: easlff_nt
  ! The path 1 - 2 - 3 in the pointer form.
  integer :: xadj(4), adj(4), invp(3), perm(3), ws(12), nofsub, count, stats(1), status, rc
  double precision :: a(3), ratiomin, dorig(2)
  real :: f1, f2

  xadj = (/ 1, 2, 4, 5 /)
  adj = (/ 2, 1, 3, 2 /)
  call mmd(3, xadj, adj, invp, perm, 0, ws(1), ws(4), ws(7), ws(10), huge(1), nofsub)
  if (any(perm /= (/ 3, 1, 2 /)) .or. nofsub /= 4) print '(a)', 'FAIL mmd'

  ! [4 2; 2 3] = L D L' with d = (4, 2), l21 = 0.5.
  a = (/ 4d0, 2d0, 3d0 /)
  dorig = (/ 4d0, 3d0 /)
  ratiomin = 1d0
  count = 0
  stats = 0
  f1 = 0.0
  f2 = 0.0
  rc = easlff_nt(2, 2, a, ratiomin, dorig, 0d0, 0d0, count, stats, f1, f2, status)
  if (rc /= 0 .or. any(a /= (/ 4d0, 0.5d0, 2d0 /)) .or. stats(1) /= 2 .or. f1 /= 6.0) &
    print '(a)', 'FAIL easlff_nt'
end program
