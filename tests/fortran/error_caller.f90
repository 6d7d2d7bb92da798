! ehrprog from Fortran: an 80-character text without a zero is read to its
! 80th character, a zero-terminated one to the zero; ctest matches both.
program error_caller
  implicit none
  integer :: n, status, rc
  integer, external :: ehrprog
  character(len=80) :: text
  text = 'from Fortran'
  text(80:80) = '#'
  n = 7
  status = 0
  rc = ehrprog(n, text, status)
  if (rc /= 1 .or. status /= 1) print *, 'FAIL'
  n = -12
  status = 0
  rc = ehrprog(n, 'short'//char(0)//'hidden', status)
  if (rc /= 1 .or. status /= 1) print *, 'FAIL'
end program error_caller
