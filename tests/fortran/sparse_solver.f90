! The sparse solver from Fortran through the module: the 1D Laplacian of
! order 5 (the stored layout, lower rows, diagonal last) from its matrix and
! from its graph, solved, refined, and condensed on its last equation.
program sparse_solver
  use, intrinsic :: iso_c_binding, only: c_ptr, c_null_ptr, c_associated
  use qorvardmathkernel
  implicit none
  type(c_ptr) :: h = c_null_ptr
  type(qvk_sparse_control) :: control
  type(qvk_sparse_info) :: info
  integer :: ia(6) = (/ 0, 1, 3, 5, 7, 9 /), ja(9) = (/ 1, 1, 2, 2, 3, 3, 4, 4, 5 /)
  integer :: xadj(6) = (/ 0, 1, 3, 5, 7, 8 /), adj(8) = (/ 2, 1, 3, 2, 4, 3, 5, 4 /)
  double precision :: a(9) = (/ 2d0, -1d0, 2d0, -1d0, 2d0, -1d0, 2d0, -1d0, 2d0 /)
  double precision :: x(5) = (/ 1d0, 2d0, 3d0, 4d0, 5d0 /), b(5) = (/ 0d0, 0d0, 0d0, 0d0, 6d0 /)
  double precision :: u(6, 2), rb(6), s(1), resid = -1d0
  logical :: ok = .true.

  ! From the matrix in reversed order, two right-hand sides (ldb 6).
  call qvk_sparse_defaults(control)
  call check(control%ordering == QVK_ORDER_AUTO .and. control%tiny == 1d-300, 'defaults')
  control%ordering = QVK_ORDER_REVERSED
  call check(qvk_sparse_create(h) == QVK_SPARSE_OK, 'create')
  call check(c_associated(h), 'handle made')
  call check(qvk_sparse_analyse_matrix(h, control, 5, ia, ja, nschur=0, info=info) == QVK_SPARSE_OK, 'analyse')
  call check(info%equations == 5 .and. info%ordering == QVK_ORDER_REVERSED, 'info of analyse')
  call check(qvk_sparse_factor(h, 5, ia, ja, a) == QVK_SPARSE_OK, 'factor')
  u(1:5, 1) = b
  u(1:5, 2) = 2 * b
  u(6, :) = -7d0
  call check(qvk_sparse_solve(h, QVK_SOLVE_FULL, 2, u, 6) == QVK_SPARSE_OK, 'solve')
  call check(maxval(abs(u(1:5, 1) - x)) < 1d-14 .and. maxval(abs(u(1:5, 2) - 2 * x)) < 1d-14 .and. &
             all(u(6, :) == -7d0), 'solutions')
  rb(1:5) = b
  call check(qvk_sparse_refine(h, 5, ia, ja, a, 1, rb, u, 6, resid) == QVK_SPARSE_OK, 'refine')
  call check(resid <= 1d-15 .and. maxval(abs(u(1:5, 1) - x)) < 1d-14, 'refined solution')
  call check(qvk_sparse_get_info(h, info) == QVK_SPARSE_OK, 'get_info')
  call check(info%residual == resid .and. info%status == QVK_SPARSE_OK, 'info of refine')
  ! From the path graph with the defaults: the Schur complement on equation
  ! 5 is 2 - 4/5, and condense, solve, expand give x.
  call check(qvk_sparse_analyse_graph(h, nnodes=5, xadj=xadj, adj=adj, nschur=1, schur=(/ 5 /)) == &
             QVK_SPARSE_OK, 'analyse in Schur mode')
  call check(qvk_sparse_factor(h, 5, ia, ja, a, s) == QVK_SPARSE_OK, 'factor in Schur mode')
  call check(abs(s(1) - 1.2d0) < 1d-14, 'Schur complement')
  u(1:5, 1) = b
  call check(qvk_sparse_solve(h, QVK_SOLVE_CONDENSE, 1, u, 6) == QVK_SPARSE_OK, 'condense')
  u(5, 1) = u(5, 1) / s(1)
  call check(qvk_sparse_solve(h, QVK_SOLVE_EXPAND, 1, u, 6) == QVK_SPARSE_OK, 'expand')
  call check(maxval(abs(u(1:5, 1) - x)) < 1d-14, 'expanded solution')
  call check(qvk_sparse_destroy(h) == QVK_SPARSE_OK, 'destroy')
  call check(.not. c_associated(h), 'handle released')
  if (.not. ok) stop 1
  print '(a)', 'sparse solver from Fortran: ok'

contains

  subroutine check(pass, what)
    logical, intent(in) :: pass
    character(*), intent(in) :: what
    if (.not. pass) print '(2a)', 'FAIL: ', what
    ok = ok .and. pass
  end subroutine check

end program sparse_solver
