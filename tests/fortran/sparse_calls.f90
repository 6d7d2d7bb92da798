! Solver code goes from a mesh to an ordering and eliminates a front: the
! connectivity routines and the frontal factorization by reference, the
! ordering with its scalars by value through an interface.
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
  integer, external :: eaupnn, eaunln, easlff_nt
  external :: eaxsort
  ! Two triangles (1, 2, 3) and (2, 3, 4).
  integer :: eptr(3), eidx(6), nptr(5), nidx(6), work(5), aptr(5), adj(10), total, rc
  integer :: xadj(5), invp(4), perm(4), dhead(4), qsize(4), llist(4), marker(4), nofsub
  integer :: rec(6), w(2), count, stats(1), status
  double precision :: a(3), ratiomin, dorig(2)
  real :: f1, f2
  logical :: ok

  ok = .true.
  eptr = (/ 0, 3, 6 /)
  eidx = (/ 1, 2, 3, 2, 3, 4 /)
  rc = eaupnn(4, 2, 6, eptr, eidx, nptr, nidx, work, aptr, total)
  call check(rc == 0 .and. total == 10 .and. all(aptr == (/ 0, 2, 5, 8, 10 /)), 'eaupnn')
  rc = eaunln(4, 2, 6, eptr, eidx, nptr, nidx, work, adj)
  call check(all(adj == (/ 2, 3, 1, 3, 4, 1, 2, 4, 2, 3 /)), 'eaunln')

  ! The ordering reads the pointer form: offsets + 1.
  xadj = aptr + 1
  call mmd(4, xadj, adj, invp, perm, 0, dhead, qsize, llist, marker, huge(1), nofsub)
  call check(all(invp(perm) == (/ 1, 2, 3, 4 /)), 'mmd')

  ! Records (key, tag) sorted on word 1.
  rec = (/ 3, 30, 1, 10, 2, 20 /)
  call eaxsort(rec, 2, 3, 1, w)
  call check(all(rec == (/ 1, 10, 2, 20, 3, 30 /)), 'eaxsort')

  ! [4 2; 2 3] = L D L' with d = (4, 2), l21 = 0.5.
  a = (/ 4d0, 2d0, 3d0 /)
  dorig = (/ 4d0, 3d0 /)
  ratiomin = 1d0
  count = 0
  stats = 0
  f1 = 0.0
  f2 = 0.0
  rc = easlff_nt(2, 2, a, ratiomin, dorig, 0d0, 0d0, count, stats, f1, f2, status)
  call check(rc == 0 .and. status == 0 .and. all(a == (/ 4d0, 0.5d0, 2d0 /)) &
             .and. stats(1) == 2 .and. f1 == 6.0, 'easlff_nt')

  if (ok) print '(a)', 'ok'
contains
  subroutine check(cond, what)
    logical, intent(in) :: cond
    character(*), intent(in) :: what
    if (.not. cond) then
      print '(a, a)', 'FAIL ', what
      ok = .false.
    end if
  end subroutine
end program
