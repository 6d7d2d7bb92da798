! Interfaces of the library's exported kernels for Fortran callers.
!
!   use qorvardmathkernel
!
! gives every call below its argument checking at compile time. The kernels
! take every argument by reference, as a Fortran compiler passes them; the
! headers (vector.h, dense.h, packed.h, solve.h, algorithms.h, sparse.h,
! diagnostics.h, errors.h, memory.h) describe what each one computes, its
! sizes and its early exits.
!
! The ordering routines (mmd and its steps) take their scalars by value, as
! in C; the module passes them so, and the call looks like any other:
!
!   call mmd(n, xadj, adjncy, invp, perm, 0, dhead, qsize, llist, marker, &
!            huge(0), nofsub)
!
! Option letters: a C-interoperable interface passes no hidden lengths, so
! each letter's length is an explicit trailing argument here, one
! integer(c_int) by value per letter, in the order of the letters. The
! kernels never read it; pass 1:
!
!   call eagemm('N', 'T', m, n, k, alpha, a, lda, b, ldb, beta, c, ldc, 1, 1)
!
! (A program that calls the kernels without this module, compiled with
! -fno-underscoring, gets the lengths from the compiler instead.)
!
! Texts for the print routines end with a zero: 'text'//c_null_char.
!
! The basis evaluator of eaxrmc3 is a bind(C) integer function of the
! abstract interface eaxrmc3_basis below, e.g.
!
!   function linbasis(one, zero, m, one2, zero2, x, s, p, info) &
!       result(status) bind(C)
!
! Arrays that a kernel writes only in part (strided vectors, rows it skips)
! are intent(inout): the elements it does not write keep their values.
!
! The sparse direct solver (sparse_solver.h) keeps its state behind a
! handle, a type(c_ptr) of the caller's passed by reference; its control
! and info records are the bind(C) types qvk_sparse_control and
! qvk_sparse_info. Arguments that C takes as possibly null are optional:
!
!   use, intrinsic :: iso_c_binding, only: c_ptr, c_null_ptr
!   type(c_ptr) :: h = c_null_ptr
!   status = qvk_sparse_create(h)
!   status = qvk_sparse_analyse_matrix(h, n=n, ia=ia, ja=ja, nschur=0)
!   status = qvk_sparse_factor(h, n, ia, ja, a)
!   status = qvk_sparse_solve(h, QVK_SOLVE_FULL, 1, b, n)
!   status = qvk_sparse_destroy(h)
module qorvardmathkernel
  use, intrinsic :: iso_c_binding, only: c_int, c_float, c_double, c_char, c_null_char, c_ptr
  implicit none
  private :: c_int, c_float, c_double, c_char, c_ptr
  public :: c_null_char

  ! Sparse solver statuses, orderings and solve jobs (sparse_solver.h).
  integer(c_int), parameter :: QVK_SPARSE_OK = 0, QVK_SPARSE_BAD_ARGUMENT = 1, &
    QVK_SPARSE_BAD_STRUCTURE = 2, QVK_SPARSE_BAD_ORDER = 3, QVK_SPARSE_BAD_SCHUR = 4, &
    QVK_SPARSE_OUT_OF_ORDER = 5, QVK_SPARSE_ZERO_PIVOT = 6, QVK_SPARSE_NO_MEMORY = 7, &
    QVK_SPARSE_UNAVAILABLE = 8, QVK_SPARSE_TOO_LARGE = 9, QVK_SPARSE_NOT_POSITIVE = 34
  integer(c_int), parameter :: QVK_ORDER_AUTO = 0, QVK_ORDER_MMD = 1, QVK_ORDER_ND = 2, &
    QVK_ORDER_NATURAL = 3, QVK_ORDER_REVERSED = 4, QVK_ORDER_GIVEN = 5
  integer(c_int), parameter :: QVK_SOLVE_FULL = 0, QVK_SOLVE_L = 1, QVK_SOLVE_D = 2, &
    QVK_SOLVE_LT = 3, QVK_SOLVE_CONDENSE = 4, QVK_SOLVE_EXPAND = 5

  ! The solver's control record, field by field as in C (reals first).
  type, bind(C) :: qvk_sparse_control
    real(c_double) :: tiny, threshold, relax_small, relax_mid, relax_large
    integer(c_int) :: ordering, relax_columns(3), auto_nodes, reserved(8)
  end type qvk_sparse_control

  ! The solver's info record, field by field as in C.
  type, bind(C) :: qvk_sparse_info
    real(c_double) :: nnz_l, flops, min_ratio, peak_words, predicted_words, &
      time_analyse, time_factor, time_solve, residual, time_fronts, time_assembly
    integer(c_int) :: status, equations, nodes, fronts, max_front, ordering, &
      failed_equation, schur, reserved(8)
  end type qvk_sparse_info

  abstract interface
    ! Basis evaluator of eaxrmc3 (algorithms.h): p(1..m) := the m basis
    ! values at the scaled point x; returns 0, or 1 for failure.
    function eaxrmc3_basis(one, zero, m, one2, zero2, x, scratch, p, info) &
        result(status) bind(C)
      import :: c_int, c_double
      integer(c_int), intent(in) :: one, zero, m, one2, zero2
      real(c_double), intent(in) :: x(3)
      real(c_double), intent(inout) :: scratch
      real(c_double), intent(inout) :: p(*)
      integer(c_int), intent(inout) :: info
      integer(c_int) :: status
    end function eaxrmc3_basis
  end interface

  interface

    ! ---------------------------------------------------------------------
    ! Dense vector kernels (vector.h)
    ! ---------------------------------------------------------------------

    subroutine e_dcopy(n, x, incx, y, incy) bind(C, name='e_dcopy')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx, incy
      real(c_double), intent(in) :: x(*)
      real(c_double), intent(inout) :: y(*)
    end subroutine e_dcopy

    subroutine e_icopy(n, ix, incx, iy, incy) bind(C, name='e_icopy')
      import :: c_int
      integer(c_int), intent(in) :: n, incx, incy
      integer(c_int), intent(in) :: ix(*)
      integer(c_int), intent(inout) :: iy(*)
    end subroutine e_icopy

    subroutine e_dzero(n, x, incx) bind(C, name='e_dzero')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx
      real(c_double), intent(inout) :: x(*)
    end subroutine e_dzero

    subroutine e_izero(n, ix, incx) bind(C, name='e_izero')
      import :: c_int
      integer(c_int), intent(in) :: n, incx
      integer(c_int), intent(inout) :: ix(*)
    end subroutine e_izero

    subroutine e_dscal(n, alpha, x, incx) bind(C, name='e_dscal')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx
      real(c_double), intent(in) :: alpha
      real(c_double), intent(inout) :: x(*)
    end subroutine e_dscal

    subroutine drscl(n, sa, x, incx) bind(C, name='drscl')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx
      real(c_double), intent(in) :: sa
      real(c_double), intent(inout) :: x(*)
    end subroutine drscl

    subroutine e_daxpy(n, alpha, x, incx, y, incy) bind(C, name='e_daxpy')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx, incy
      real(c_double), intent(in) :: alpha
      real(c_double), intent(in) :: x(*)
      real(c_double), intent(inout) :: y(*)
    end subroutine e_daxpy

    subroutine e_dswap(n, x, incx, y, incy) bind(C, name='e_dswap')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx, incy
      real(c_double), intent(inout) :: x(*), y(*)
    end subroutine e_dswap

    function e_dasum(n, x, incx) result(s) bind(C, name='e_dasum')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx
      real(c_double), intent(in) :: x(*)
      real(c_double) :: s
    end function e_dasum

    function e_dnrm2(n, x, incx) result(s) bind(C, name='e_dnrm2')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx
      real(c_double), intent(in) :: x(*)
      real(c_double) :: s
    end function e_dnrm2

    function e_idamax(n, x, incx) result(i) bind(C, name='e_idamax')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx
      real(c_double), intent(in) :: x(*)
      integer(c_int) :: i
    end function e_idamax

    function damax(n, x, incx) result(s) bind(C, name='damax')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx
      real(c_double), intent(in) :: x(*)
      real(c_double) :: s
    end function damax

    subroutine e_drotg(a, b, c, s) bind(C, name='e_drotg')
      import :: c_double
      real(c_double), intent(inout) :: a, b
      real(c_double), intent(out) :: c, s
    end subroutine e_drotg

    ! ---------------------------------------------------------------------
    ! Sparse vector kernels (vector.h)
    ! ---------------------------------------------------------------------

    subroutine e_dgthr(nz, y, x, indx) bind(C, name='e_dgthr')
      import :: c_int, c_double
      integer(c_int), intent(in) :: nz
      real(c_double), intent(in) :: y(*)
      real(c_double), intent(inout) :: x(*)
      integer(c_int), intent(in) :: indx(*)
    end subroutine e_dgthr

    subroutine e_dsctr(nz, x, indx, y) bind(C, name='e_dsctr')
      import :: c_int, c_double
      integer(c_int), intent(in) :: nz
      real(c_double), intent(in) :: x(*)
      integer(c_int), intent(in) :: indx(*)
      real(c_double), intent(inout) :: y(*)
    end subroutine e_dsctr

    subroutine e_daxpyi(nz, a, x, indx, y) bind(C, name='e_daxpyi')
      import :: c_int, c_double
      integer(c_int), intent(in) :: nz
      real(c_double), intent(in) :: a
      real(c_double), intent(in) :: x(*)
      integer(c_int), intent(in) :: indx(*)
      real(c_double), intent(inout) :: y(*)
    end subroutine e_daxpyi

    function e_ddoti(nz, x, indx, y) result(s) bind(C, name='e_ddoti')
      import :: c_int, c_double
      integer(c_int), intent(in) :: nz
      real(c_double), intent(in) :: x(*)
      integer(c_int), intent(in) :: indx(*)
      real(c_double), intent(in) :: y(*)
      real(c_double) :: s
    end function e_ddoti

    ! ---------------------------------------------------------------------
    ! Dense products (dense.h)
    ! ---------------------------------------------------------------------

    subroutine eagemv(trans, m, n, alpha, a, lda, x, incx, beta, y, incy, &
                      trans_len) bind(C, name='eagemv')
      import :: c_int, c_double, c_char
      character(kind=c_char), intent(in) :: trans
      integer(c_int), intent(in) :: m, n, lda, incx, incy
      real(c_double), intent(in) :: alpha, beta
      real(c_double), intent(in) :: a(lda, *), x(*)
      real(c_double), intent(inout) :: y(*)
      integer(c_int), value, intent(in) :: trans_len
    end subroutine eagemv

    subroutine dgemvf(trans, m, n, alpha, a, lda, x, incx, beta, y, incy, &
                      trans_len) bind(C, name='dgemvf')
      import :: c_int, c_double, c_char
      character(kind=c_char), intent(in) :: trans
      integer(c_int), intent(in) :: m, n, lda, incx, incy
      real(c_double), intent(in) :: alpha, beta
      real(c_double), intent(in) :: a(lda, *), x(*)
      real(c_double), intent(inout) :: y(*)
      integer(c_int), value, intent(in) :: trans_len
    end subroutine dgemvf

    subroutine dgemv32_n(m, n, alpha, a, lda, x, incx, beta, y, incy) &
        bind(C, name='dgemv32_n')
      import :: c_int, c_double
      integer(c_int), intent(in) :: m, n, lda, incx, incy
      real(c_double), intent(in) :: alpha, beta
      real(c_double), intent(in) :: a(lda, *), x(*)
      real(c_double), intent(inout) :: y(*)
    end subroutine dgemv32_n

    subroutine dgemv_n(m, n, alpha, a, lda, x, incx, beta, y, incy) &
        bind(C, name='dgemv_n')
      import :: c_int, c_double
      integer(c_int), intent(in) :: m, n, lda, incx, incy
      real(c_double), intent(in) :: alpha, beta
      real(c_double), intent(in) :: a(lda, *), x(*)
      real(c_double), intent(inout) :: y(*)
    end subroutine dgemv_n

    subroutine dgemv32_t(m, n, alpha, a, lda, x, incx, beta, y, incy) &
        bind(C, name='dgemv32_t')
      import :: c_int, c_double
      integer(c_int), intent(in) :: m, n, lda, incx, incy
      real(c_double), intent(in) :: alpha, beta
      real(c_double), intent(in) :: a(lda, *), x(*)
      real(c_double), intent(inout) :: y(*)
    end subroutine dgemv32_t

    subroutine dgemv_t(m, n, alpha, a, lda, x, incx, beta, y, incy) &
        bind(C, name='dgemv_t')
      import :: c_int, c_double
      integer(c_int), intent(in) :: m, n, lda, incx, incy
      real(c_double), intent(in) :: alpha, beta
      real(c_double), intent(in) :: a(lda, *), x(*)
      real(c_double), intent(inout) :: y(*)
    end subroutine dgemv_t

    subroutine eagemm(transa, transb, m, n, k, alpha, a, lda, b, ldb, beta, &
                      c, ldc, transa_len, transb_len) bind(C, name='eagemm')
      import :: c_int, c_double, c_char
      character(kind=c_char), intent(in) :: transa, transb
      integer(c_int), intent(in) :: m, n, k, lda, ldb, ldc
      real(c_double), intent(in) :: alpha, beta
      real(c_double), intent(in) :: a(lda, *), b(ldb, *)
      real(c_double), intent(inout) :: c(ldc, *)
      integer(c_int), value, intent(in) :: transa_len, transb_len
    end subroutine eagemm

    ! ---------------------------------------------------------------------
    ! Packed and stored-layout algebra (packed.h). Typed copies and byte
    ! routines take arrays of any type.
    ! ---------------------------------------------------------------------

    subroutine eaxcpy(t, n, src, dst) bind(C, name='eaxcpy')
      import :: c_int
      integer(c_int), intent(in) :: t, n
      type(*), intent(in) :: src(*)
      type(*), intent(inout) :: dst(*)
    end subroutine eaxcpy

    subroutine eaxraz(t, x, n) bind(C, name='eaxraz')
      import :: c_int
      integer(c_int), intent(in) :: t, n
      type(*), intent(inout) :: x(*)
    end subroutine eaxraz

    subroutine eaxmac(x, nbytes, fill) bind(C, name='eaxmac')
      import :: c_int
      type(*), intent(inout) :: x(*)
      integer(c_int), intent(in) :: nbytes
      type(*), intent(in) :: fill
    end subroutine eaxmac

    subroutine ecrccop(src, nbytes, dst) bind(C, name='ecrccop')
      import :: c_int
      type(*), intent(in) :: src(*)
      integer(c_int), intent(in) :: nbytes
      type(*), intent(inout) :: dst(*)
    end subroutine ecrccop

    function eaxscl(n, x, incx, y, incy) result(s) bind(C, name='eaxscl')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, incx, incy
      real(c_double), intent(in) :: x(*), y(*)
      real(c_double) :: s
    end function eaxscl

    subroutine eaxrnd(seed, r) bind(C, name='eaxrnd')
      import :: c_int, c_double
      integer(c_int), intent(inout) :: seed
      real(c_double), intent(out) :: r
    end subroutine eaxrnd

    subroutine eaxmvm(mode, nnz, m, n, nvec, ja, ia, a, x, y) bind(C, name='eaxmvm')
      import :: c_int, c_double
      integer(c_int), intent(in) :: mode, nnz, m, n, nvec
      integer(c_int), intent(in) :: ja(*), ia(*)
      real(c_double), intent(in) :: a(*), x(*)
      real(c_double), intent(inout) :: y(*)
    end subroutine eaxmvm

    ! a0 is not read: pass any scalar (legacy callers pass 0).
    subroutine eaxfch(a0, i1, n, tol, ap, info, piv) bind(C, name='eaxfch')
      import :: c_int, c_double
      type(*), intent(in) :: a0
      integer(c_int), intent(in) :: i1, n
      real(c_double), intent(in) :: tol
      real(c_double), intent(inout) :: ap(*)
      integer(c_int), intent(out) :: info
      real(c_double), intent(inout) :: piv
    end subroutine eaxfch

    subroutine eaxfch2(a0, i1, n, tol, ap, info, piv) bind(C, name='eaxfch2')
      import :: c_int, c_double
      type(*), intent(in) :: a0
      integer(c_int), intent(in) :: i1, n
      real(c_double), intent(in) :: tol
      real(c_double), intent(inout) :: ap(*)
      integer(c_int), intent(out) :: info
      real(c_double), intent(inout) :: piv
    end subroutine eaxfch2

    ! ---------------------------------------------------------------------
    ! Packed triangular and Cholesky solves (solve.h). info is written only
    ! on failure: preset it.
    ! ---------------------------------------------------------------------

    subroutine e_dtpsv(uplo, trans, diag, n, ap, x, incx, uplo_len, &
                       trans_len, diag_len) bind(C, name='e_dtpsv')
      import :: c_int, c_double, c_char
      character(kind=c_char), intent(in) :: uplo, trans, diag
      integer(c_int), intent(in) :: n, incx
      real(c_double), intent(in) :: ap(*)
      real(c_double), intent(inout) :: x(*)
      integer(c_int), value, intent(in) :: uplo_len, trans_len, diag_len
    end subroutine e_dtpsv

    subroutine e_dpptrs(uplo, n, nrhs, ap, b, ldb, info, uplo_len) &
        bind(C, name='e_dpptrs')
      import :: c_int, c_double, c_char
      character(kind=c_char), intent(in) :: uplo
      integer(c_int), intent(in) :: n, nrhs, ldb
      real(c_double), intent(in) :: ap(*)
      real(c_double), intent(inout) :: b(*)
      integer(c_int), intent(inout) :: info
      integer(c_int), value, intent(in) :: uplo_len
    end subroutine e_dpptrs

    subroutine dpptrs_2(uplo, n, nrhs, ap, b, ldb, info, uplo_len) &
        bind(C, name='dpptrs_2')
      import :: c_int, c_double, c_char
      character(kind=c_char), intent(in) :: uplo
      integer(c_int), intent(in) :: n, nrhs, ldb
      real(c_double), intent(in) :: ap(*)
      real(c_double), intent(inout) :: b(*)
      integer(c_int), intent(inout) :: info
      integer(c_int), value, intent(in) :: uplo_len
    end subroutine dpptrs_2

    subroutine eacort(nn, n, ap, b) bind(C, name='eacort')
      import :: c_int, c_double
      integer(c_int), intent(in) :: nn, n
      real(c_double), intent(in) :: ap(*)
      real(c_double), intent(inout) :: b(*)
    end subroutine eacort

    ! ---------------------------------------------------------------------
    ! Small dense algorithms (algorithms.h). ierr and info keep their value
    ! where the routine does not write them: preset them.
    ! ---------------------------------------------------------------------

    function eaxeig(n, iord, ap, d, z, e, ierr) result(status) bind(C, name='eaxeig')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n, iord
      real(c_double), intent(inout) :: ap(*)
      real(c_double), intent(inout) :: d(*), z(*), e(*)
      integer(c_int), intent(inout) :: ierr
      integer(c_int) :: status
    end function eaxeig

    subroutine eaxetr(n, ap, d, e) bind(C, name='eaxetr')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n
      real(c_double), intent(inout) :: ap(*)
      real(c_double), intent(inout) :: d(*), e(*)
    end subroutine eaxetr

    function eaxeql(n, d, e, z, ierr) result(status) bind(C, name='eaxeql')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n
      real(c_double), intent(inout) :: d(*), e(*), z(*)
      integer(c_int), intent(inout) :: ierr
      integer(c_int) :: status
    end function eaxeql

    subroutine eaxeor(iord, n, d, z) bind(C, name='eaxeor')
      import :: c_int, c_double
      integer(c_int), intent(in) :: iord, n
      real(c_double), intent(inout) :: d(*), z(*)
    end subroutine eaxeor

    subroutine eaxevp(n, ap, z) bind(C, name='eaxevp')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n
      real(c_double), intent(in) :: ap(*)
      real(c_double), intent(inout) :: z(*)
    end subroutine eaxevp

    subroutine eaxmmp(m, k, n, a, b, c) bind(C, name='eaxmmp')
      import :: c_int, c_double
      integer(c_int), intent(in) :: m, k, n
      real(c_double), intent(in) :: a(*), b(*)
      real(c_double), intent(inout) :: c(*)
    end subroutine eaxmmp

    subroutine ebhpap(n, z, d, w, r) bind(C, name='ebhpap')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n
      real(c_double), intent(in) :: z(*), d(*)
      real(c_double), intent(inout) :: w(*), r(*)
    end subroutine ebhpap

    subroutine eaxinv(mode, lda, n, ipiv, info, a) bind(C, name='eaxinv')
      import :: c_int, c_double
      integer(c_int), intent(in) :: mode, lda, n
      integer(c_int), intent(inout) :: ipiv(*)
      integer(c_int), intent(inout) :: info
      real(c_double), intent(inout) :: a(*)
    end subroutine eaxinv

    function eaxinvs(n, tol, a, w, z, info) result(status) bind(C, name='eaxinvs')
      import :: c_int, c_double
      integer(c_int), intent(in) :: n
      real(c_double), intent(in) :: tol
      real(c_double), intent(inout) :: a(*), w(*), z(*)
      integer(c_int), intent(inout) :: info
      integer(c_int) :: status
    end function eaxinvs

    function eaxrmc3(m, n, xyz, x0, u, f, basis, a, w, z, b, p, coef, wt, info) &
        result(status) bind(C, name='eaxrmc3')
      import :: c_int, c_double, eaxrmc3_basis
      integer(c_int), intent(in) :: m, n
      real(c_double), intent(in) :: xyz(*), x0(3), u(*)
      real(c_double), intent(inout) :: f
      procedure(eaxrmc3_basis) :: basis
      real(c_double), intent(inout) :: a(*), w(*), z(*), b(*), p(*), coef(*)
      real(c_double), intent(in) :: wt(*)
      integer(c_int), intent(inout) :: info
      integer(c_int) :: status
    end function eaxrmc3

    ! ---------------------------------------------------------------------
    ! Sparse structure (sparse.h). Nothing is checked: the sizes stated in
    ! the header are the caller's to keep.
    ! ---------------------------------------------------------------------

    function eaunle(n, m, nz, eptr, eidx, nptr, nidx) result(status) &
        bind(C, name='eaunle')
      import :: c_int
      integer(c_int), intent(in) :: n, m, nz
      integer(c_int), intent(in) :: eptr(*), eidx(*)
      integer(c_int), intent(inout) :: nptr(*), nidx(*)
      integer(c_int) :: status
    end function eaunle

    function eaupnn(n, m, nz, eptr, eidx, nptr, nidx, work, aptr, total) &
        result(status) bind(C, name='eaupnn')
      import :: c_int
      integer(c_int), intent(in) :: n, m, nz
      integer(c_int), intent(in) :: eptr(*), eidx(*)
      integer(c_int), intent(inout) :: nptr(*), nidx(*), work(*), aptr(*)
      integer(c_int), intent(out) :: total
      integer(c_int) :: status
    end function eaupnn

    function eaunln(n, m, nz, eptr, eidx, nptr, nidx, work, adj) result(status) &
        bind(C, name='eaunln')
      import :: c_int
      integer(c_int), intent(in) :: n, m, nz
      integer(c_int), intent(in) :: eptr(*), eidx(*), nptr(*), nidx(*)
      integer(c_int), intent(inout) :: work(*), adj(*)
      integer(c_int) :: status
    end function eaunln

    function eaupne(nown, nitem1, npos1, np, first, owner) result(status) &
        bind(C, name='eaupne')
      import :: c_int
      integer(c_int), intent(in) :: nown, nitem1, npos1, np
      integer(c_int), intent(in) :: first(*)
      integer(c_int), intent(inout) :: owner(*)
      integer(c_int) :: status
    end function eaupne

    subroutine mmd(neqns, xadj, adjncy, invp, perm, delta, dhead, qsize, llist, &
                   marker, maxint, nofsub) bind(C, name='mmd')
      import :: c_int
      integer(c_int), value, intent(in) :: neqns, delta, maxint
      integer(c_int), intent(in) :: xadj(*)
      integer(c_int), intent(inout) :: adjncy(*), invp(*), perm(*)
      integer(c_int), intent(inout) :: dhead(*), qsize(*), llist(*), marker(*)
      integer(c_int), intent(inout) :: nofsub
    end subroutine mmd

    subroutine mmdint(neqns, xadj, adjncy, dhead, dforw, dbakw, qsize, llist, &
                      marker) bind(C, name='mmdint')
      import :: c_int
      integer(c_int), value, intent(in) :: neqns
      integer(c_int), intent(in) :: xadj(*), adjncy(*)
      integer(c_int), intent(inout) :: dhead(*), dforw(*), dbakw(*)
      integer(c_int), intent(inout) :: qsize(*), llist(*), marker(*)
    end subroutine mmdint

    subroutine mmdelm(mdnode, xadj, adjncy, dhead, dforw, dbakw, qsize, llist, &
                      marker, maxint, tag) bind(C, name='mmdelm')
      import :: c_int
      integer(c_int), value, intent(in) :: mdnode, maxint, tag
      integer(c_int), intent(in) :: xadj(*)
      integer(c_int), intent(inout) :: adjncy(*), dhead(*), dforw(*), dbakw(*)
      integer(c_int), intent(inout) :: qsize(*), llist(*), marker(*)
    end subroutine mmdelm

    subroutine mmdupd(ehead, neqns, xadj, adjncy, delta, mdeg, dhead, dforw, &
                      dbakw, qsize, llist, marker, maxint, tag) bind(C, name='mmdupd')
      import :: c_int
      integer(c_int), value, intent(in) :: ehead, neqns, delta, maxint
      integer(c_int), intent(in) :: xadj(*), adjncy(*)
      integer(c_int), intent(inout) :: mdeg, tag
      integer(c_int), intent(inout) :: dhead(*), dforw(*), dbakw(*)
      integer(c_int), intent(inout) :: qsize(*), llist(*), marker(*)
    end subroutine mmdupd

    subroutine mmdnum(neqns, perm, invp, qsize) bind(C, name='mmdnum')
      import :: c_int
      integer(c_int), value, intent(in) :: neqns
      integer(c_int), intent(inout) :: perm(*), invp(*)
      integer(c_int), intent(in) :: qsize(*)
    end subroutine mmdnum

    subroutine eaxsort(records, nwords, nrec, keypos, work) bind(C, name='eaxsort')
      import :: c_int
      integer(c_int), intent(inout) :: records(*)
      integer(c_int), intent(in) :: nwords, nrec, keypos
      integer(c_int), intent(inout) :: work(*)
    end subroutine eaxsort

    function easlff_nt(n, npiv, a, ratiomin, dorig, tiny, thr, count, stats, &
                       flops1, flops2, status) result(rc) bind(C, name='easlff_nt')
      import :: c_int, c_float, c_double
      integer(c_int), intent(in) :: n, npiv
      real(c_double), intent(inout) :: a(*), ratiomin
      real(c_double), intent(in) :: dorig(*), tiny, thr
      integer(c_int), intent(inout) :: count, stats(*)
      real(c_float), intent(inout) :: flops1, flops2
      integer(c_int), intent(out) :: status
      integer(c_int) :: rc
    end function easlff_nt

    ! ---------------------------------------------------------------------
    ! Sparse direct solver (sparse_solver.h). Every routine but
    ! qvk_sparse_defaults returns a status (QVK_SPARSE_*).
    ! ---------------------------------------------------------------------

    subroutine qvk_sparse_defaults(control) bind(C, name='qvk_sparse_defaults')
      import :: qvk_sparse_control
      type(qvk_sparse_control), intent(out) :: control
    end subroutine qvk_sparse_defaults

    function qvk_sparse_create(handle) result(status) bind(C, name='qvk_sparse_create')
      import :: c_int, c_ptr
      type(c_ptr), intent(out) :: handle
      integer(c_int) :: status
    end function qvk_sparse_create

    function qvk_sparse_destroy(handle) result(status) bind(C, name='qvk_sparse_destroy')
      import :: c_int, c_ptr
      type(c_ptr), intent(inout) :: handle
      integer(c_int) :: status
    end function qvk_sparse_destroy

    function qvk_sparse_analyse_graph(handle, control, nnodes, xadj, adj, width, perm, &
        nschur, schur, info) result(status) bind(C, name='qvk_sparse_analyse_graph')
      import :: c_int, c_ptr, qvk_sparse_control, qvk_sparse_info
      type(c_ptr), intent(inout) :: handle
      type(qvk_sparse_control), intent(in), optional :: control
      integer(c_int), intent(in) :: nnodes, nschur
      integer(c_int), intent(in) :: xadj(*), adj(*)
      integer(c_int), intent(in), optional :: width(*), perm(*), schur(*)
      type(qvk_sparse_info), intent(inout), optional :: info
      integer(c_int) :: status
    end function qvk_sparse_analyse_graph

    function qvk_sparse_analyse_matrix(handle, control, n, ia, ja, perm, nschur, schur, &
        info) result(status) bind(C, name='qvk_sparse_analyse_matrix')
      import :: c_int, c_ptr, qvk_sparse_control, qvk_sparse_info
      type(c_ptr), intent(inout) :: handle
      type(qvk_sparse_control), intent(in), optional :: control
      integer(c_int), intent(in) :: n, nschur
      integer(c_int), intent(in) :: ia(*), ja(*)
      integer(c_int), intent(in), optional :: perm(*), schur(*)
      type(qvk_sparse_info), intent(inout), optional :: info
      integer(c_int) :: status
    end function qvk_sparse_analyse_matrix

    ! s(nschur, nschur): Schur mode only.
    function qvk_sparse_factor(handle, n, ia, ja, a, s, info) result(status) &
        bind(C, name='qvk_sparse_factor')
      import :: c_int, c_double, c_ptr, qvk_sparse_info
      type(c_ptr), intent(inout) :: handle
      integer(c_int), intent(in) :: n
      integer(c_int), intent(in) :: ia(*), ja(*)
      real(c_double), intent(in) :: a(*)
      real(c_double), intent(inout), optional :: s(*)
      type(qvk_sparse_info), intent(inout), optional :: info
      integer(c_int) :: status
    end function qvk_sparse_factor

    function qvk_sparse_solve(handle, job, nrhs, b, ldb, info) result(status) &
        bind(C, name='qvk_sparse_solve')
      import :: c_int, c_double, c_ptr, qvk_sparse_info
      type(c_ptr), intent(inout) :: handle
      integer(c_int), intent(in) :: job, nrhs, ldb
      real(c_double), intent(inout) :: b(ldb, *)
      type(qvk_sparse_info), intent(inout), optional :: info
      integer(c_int) :: status
    end function qvk_sparse_solve

    function qvk_sparse_refine(handle, n, ia, ja, a, nrhs, b, u, ldb, resid, info) &
        result(status) bind(C, name='qvk_sparse_refine')
      import :: c_int, c_double, c_ptr, qvk_sparse_info
      type(c_ptr), intent(inout) :: handle
      integer(c_int), intent(in) :: n, nrhs, ldb
      integer(c_int), intent(in) :: ia(*), ja(*)
      real(c_double), intent(in) :: a(*), b(ldb, *)
      real(c_double), intent(inout) :: u(ldb, *)
      real(c_double), intent(inout) :: resid
      type(qvk_sparse_info), intent(inout), optional :: info
      integer(c_int) :: status
    end function qvk_sparse_refine

    function qvk_sparse_get_info(handle, info) result(status) bind(C, name='qvk_sparse_get_info')
      import :: c_int, c_ptr, qvk_sparse_info
      type(c_ptr), intent(inout) :: handle
      type(qvk_sparse_info), intent(inout) :: info
      integer(c_int) :: status
    end function qvk_sparse_get_info

    ! ---------------------------------------------------------------------
    ! Print routines (diagnostics.h): zero-terminated texts.
    ! ---------------------------------------------------------------------

    subroutine ehprint(text) bind(C, name='ehprint')
      import :: c_char
      character(kind=c_char), intent(in) :: text(*)
    end subroutine ehprint

    subroutine ehprini(text, n) bind(C, name='ehprini')
      import :: c_int, c_char
      character(kind=c_char), intent(in) :: text(*)
      integer(c_int), intent(in) :: n
    end subroutine ehprini

    subroutine ehprinr(format, x) bind(C, name='ehprinr')
      import :: c_double, c_char
      character(kind=c_char), intent(in) :: format(*)
      real(c_double), intent(in) :: x
    end subroutine ehprinr

    subroutine eaoprnt(text) bind(C, name='eaoprnt')
      import :: c_char
      character(kind=c_char), intent(in) :: text(*)
    end subroutine eaoprnt

    subroutine eaoprnti(text, n) bind(C, name='eaoprnti')
      import :: c_int, c_char
      character(kind=c_char), intent(in) :: text(*)
      integer(c_int), intent(in) :: n
    end subroutine eaoprnti

    subroutine eaoprntr(format, x) bind(C, name='eaoprntr')
      import :: c_double, c_char
      character(kind=c_char), intent(in) :: format(*)
      real(c_double), intent(in) :: x
    end subroutine eaoprntr

    subroutine eyflsh() bind(C, name='eyflsh')
    end subroutine eyflsh

    ! ---------------------------------------------------------------------
    ! Raising an internal error (errors.h): at most 80 characters of text
    ! are read, or up to a zero; status becomes 1 and so does the result.
    ! ---------------------------------------------------------------------

    function ehrprog(number, text, status) result(rc) bind(C, name='ehrprog')
      import :: c_int, c_char
      integer(c_int), intent(in) :: number
      character(kind=c_char), intent(in) :: text(*)
      integer(c_int), intent(out) :: status
      integer(c_int) :: rc
    end function ehrprog

    ! ---------------------------------------------------------------------
    ! Memory probes (memory.h), in words of 8 bytes.
    ! ---------------------------------------------------------------------

    subroutine ehalmxc(allowance) bind(C, name='ehalmxc')
      import :: c_int
      integer(c_int), intent(out) :: allowance
    end subroutine ehalmxc

    subroutine ehumem(words) bind(C, name='ehumem')
      import :: c_int
      integer(c_int), intent(out) :: words
    end subroutine ehumem

    subroutine ehucpu(processors) bind(C, name='ehucpu')
      import :: c_int
      integer(c_int), intent(out) :: processors
    end subroutine ehucpu

    function ehaldb(kind) result(rc) bind(C, name='ehaldb')
      import :: c_int
      integer(c_int), intent(out) :: kind
      integer(c_int) :: rc
    end function ehaldb

    subroutine getblas(a, b, c) bind(C, name='getblas')
      import :: c_int
      integer(c_int), intent(out) :: a, b, c
    end subroutine getblas

    ! Sets the first character of text to c_null_char.
    subroutine getversionmkl(text) bind(C, name='getversionmkl')
      import :: c_char
      character(kind=c_char), intent(inout) :: text(*)
    end subroutine getversionmkl

  end interface

end module qorvardmathkernel
