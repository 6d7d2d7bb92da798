! A Fortran caller of the memory probes: every argument by reference.
program memory_probes
  implicit none
  integer :: n, a, b, c, kind, words
  integer, external :: ehaldb
  call ehucpu(n)
  if (n < 0) print *, 'FAIL ehucpu'
  a = 7
  b = 7
  c = 7
  call getblas(a, b, c)
  if (a /= 0 .or. b /= 0 .or. c /= 0) print *, 'FAIL getblas'
  if (ehaldb(kind) /= 0 .or. kind /= 0) print *, 'FAIL ehaldb'
  call ehumem(words)
  if (words < 1 .or. words > 268000000) print *, 'FAIL ehumem'
  call ehalmxc(words)
  if (words < 0) print *, 'FAIL ehalmxc'
  print *, 'ok'
end program memory_probes
