! The print routines from Fortran: texts end with char(0), numbers go by
! reference; ctest compares the output with the expected lines.
program print_routines
  implicit none
  integer :: n
  double precision :: x
  n = 42
  x = 0.1d0
  call ehprint('ehprint:'//char(0))
  call ehprint(' plain'//char(10)//char(0))
  call ehprini('ehprini '//char(0), n)
  call ehprinr('ehprinr %.17g'//char(0), x)
  call eaoprnt('eaoprnt'//char(0))
  call eaoprnti('eaoprnti '//char(0), n)
  call eaoprntr('eaoprntr %.12f'//char(0), x)
  call eyflsh()
end program print_routines
