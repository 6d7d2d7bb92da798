! Interfaces of the library's exported kernels for Fortran callers.
!
!   use qorvardmathkernel
!
! gives every call below its argument checking at compile time. The kernels
! take every argument by reference, as a Fortran compiler passes them; the
! headers (vector.h, dense.h, packed.h, solve.h, diagnostics.h) describe what
! each one computes, its sizes and its early exits.
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
! Arrays that a kernel writes only in part (strided vectors, rows it skips)
! are intent(inout): the elements it does not write keep their values.
module qorvardmathkernel
  use, intrinsic :: iso_c_binding, only: c_int, c_double, c_char, c_null_char
  implicit none
  private :: c_int, c_double, c_char
  public :: c_null_char

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

  end interface

end module qorvardmathkernel
