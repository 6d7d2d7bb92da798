! A Fortran program built against an installed library through its
! interface module: every call is checked at compile time, the ordering's
! scalars go by value, the fit calls a bind(C) evaluator and the sparse
! solver keeps its handle in a c_ptr.
program consumer
  use, intrinsic :: iso_c_binding, only: c_ptr, c_null_ptr
  use qorvardmathkernel
  implicit none
  double precision :: a(2,3), b(3,2), c(2,2), ap(6), rhs(3), piv, sym(3), d(2), z(2,2), e(2)
  double precision :: xyz(3,3), x0(3), u(3), wt(3), f, fa(1), fw(1), fz(1), fb(3), fp(1), coef(1)
  integer :: info, ierr, k, status, xadj(4), adjncy(4), invp(3), perm(3), dhead(3), qsize(3), llist(3), marker(3), nofsub
  integer :: ia(6) = (/ 0, 1, 3, 5, 7, 9 /), ja(9) = (/ 1, 1, 2, 2, 3, 3, 4, 4, 5 /)
  double precision :: ka(9) = (/ 2d0, -1d0, 2d0, -1d0, 2d0, -1d0, 2d0, -1d0, 2d0 /), x(5)
  type(c_ptr) :: h = c_null_ptr
  logical :: ok
  procedure(eaxrmc3_basis) :: constant_basis

  ! C := A*B; the option letters' lengths are explicit with the module.
  a = reshape((/ 1d0, 2d0, 3d0, 4d0, 5d0, 6d0 /), (/ 2, 3 /))
  b = reshape((/ 1d0, 0d0, -1d0, 2d0, 1d0, 0d0 /), (/ 3, 2 /))
  call eagemm('N', 'N', 2, 2, 3, 1d0, a, 2, b, 3, 0d0, c, 2, 1, 1)
  ok = all(c == reshape((/ -4d0, -4d0, 5d0, 8d0 /), (/ 2, 2 /)))
  ! A = U'U, U = [2 1 -1; 0 1 2; 0 0 4], then A*x = (2, 9, 63)'.
  ap = (/ 4d0, 2d0, 2d0, -2d0, 1d0, 21d0 /)
  rhs = (/ 2d0, 9d0, 63d0 /)
  call eaxfch(0, 1, 3, 0d0, ap, info, piv)
  ok = ok .and. info == 0
  call e_dpptrs('U', 3, 1, ap, rhs, 3, info, 1)
  ok = ok .and. info == 0 .and. all(rhs == (/ 1d0, 2d0, 3d0 /))
  ! [2 1; 1 2] upper packed: eigenvalues 1 and 3, ascending.
  sym = (/ 2d0, 1d0, 2d0 /)
  ierr = -1
  ok = ok .and. eaxeig(2, 1, sym, d, z, e, ierr) == 0 .and. ierr == -1 .and. abs(d(1) - 1d0) < 1d-14 .and. &
       abs(d(2) - 3d0) < 1d-14 .and. abs(abs(z(1,1)) - sqrt(0.5d0)) < 1d-14
  ! The path 1 - 2 - 3: perm and invp are inverse permutations.
  xadj = (/ 1, 2, 4, 5 /)
  adjncy = (/ 2, 1, 3, 2 /)
  call mmd(3, xadj, adjncy, invp, perm, 0, dhead, qsize, llist, marker, huge(0), nofsub)
  ok = ok .and. all((/ (invp(perm(k)) == k, k = 1, 3) /)) .and. nofsub > 0
  ! A constant fitted to three values: their mean.
  xyz = reshape((/ 0d0, 0d0, 0d0, 1d0, 0d0, 0d0, 0d0, 1d0, 0d0 /), (/ 3, 3 /))
  x0 = 0.5d0
  u = (/ 1d0, 2d0, 3d0 /)
  wt = 1d0
  ok = ok .and. eaxrmc3(1, 3, xyz, x0, u, f, constant_basis, fa, fw, fz, fb, fp, coef, wt, info) == 0 .and. &
       info == 0 .and. abs(f - 2d0) < 1d-14
  ! The 1D Laplacian of order 5, lower rows with the diagonal last: K x for
  ! x = (1, 2, 3, 4, 5) is (0, 0, 0, 0, 6).
  x = (/ 0d0, 0d0, 0d0, 0d0, 6d0 /)
  status = qvk_sparse_create(h)
  if (status == QVK_SPARSE_OK) status = qvk_sparse_analyse_matrix(h, n=5, ia=ia, ja=ja, nschur=0)
  if (status == QVK_SPARSE_OK) status = qvk_sparse_factor(h, 5, ia, ja, ka)
  if (status == QVK_SPARSE_OK) status = qvk_sparse_solve(h, QVK_SOLVE_FULL, 1, x, 5)
  ok = ok .and. status == QVK_SPARSE_OK .and. maxval(abs(x - (/ 1d0, 2d0, 3d0, 4d0, 5d0 /))) < 1d-14
  status = qvk_sparse_destroy(h)
  if (.not. ok) then
    print '(a)', 'FAIL: Fortran consumer'
    stop 1
  end if
  k = 6
  call ehprini('Fortran consumer checks passed: '//c_null_char, k)
end program consumer

! The evaluator of the fit: one basis function, the constant 1.
function constant_basis(one, zero, m, one2, zero2, x, scratch, p, info) result(status) bind(C)
  use, intrinsic :: iso_c_binding, only: c_int, c_double
  implicit none
  integer(c_int), intent(in) :: one, zero, m, one2, zero2
  real(c_double), intent(in) :: x(3)
  real(c_double), intent(inout) :: scratch
  real(c_double), intent(inout) :: p(*)
  integer(c_int), intent(inout) :: info
  integer(c_int) :: status
  p(1:m) = 1d0
  status = 0
end function constant_basis
