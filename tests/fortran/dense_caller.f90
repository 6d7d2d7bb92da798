! A Fortran caller of the dense products: plain names, arguments by
! reference, the option letters' hidden lengths passed by the compiler.
program dense_caller
  implicit none
  double precision :: a(3,2), b(2,4), bt(4,2), c(4,4), x(2), y(3), z(2), xt(3), want(3,4)
  logical :: bad

  ! Small integers: every product below is exact.
  a = reshape((/ 4d0, 5d0, 6d0, 7d0, 8d0, 9d0 /), (/ 3, 2 /))
  b = reshape((/ 0d0, 1d0, -1d0, 0d0, -2d0, -1d0, -3d0, -2d0 /), (/ 2, 4 /))
  bt = transpose(b)
  want = 2d0 * matmul(a, b)
  ! C(1:3,1:4) := 2*A*B, ldc = 4; row 4 must stay untouched.
  c = -7d0
  call eagemm('N', 'N', 3, 4, 2, 2d0, a, 3, b, 2, 0d0, c, 4)
  bad = any(c(1:3,:) /= want) .or. any(c(4,:) /= -7d0)
  ! Same product with B stored transposed and lower-case letters.
  c = -7d0
  call eagemm('n', 't', 3, 4, 2, 2d0, a, 3, bt, 4, 0d0, c, 4)
  bad = bad .or. any(c(1:3,:) /= want)
  ! beta = 1 adds on top.
  call eagemm('N', 'T', 3, 4, 2, 1d0, a, 3, bt, 4, 1d0, c, 4)
  bad = bad .or. any(c(1:3,:) /= 1.5d0 * want)
  ! y := A*x, z := z + A'*xt, and x read backwards by a negative increment.
  x = (/ 1d0, -1d0 /)
  y = 5d0
  call eagemv('N', 3, 2, 1d0, a, 3, x, 1, 0d0, y, 1)
  bad = bad .or. any(y /= (/ -3d0, -3d0, -3d0 /))
  xt = (/ 1d0, 0d0, 2d0 /)
  z = 1d0
  call eagemv('T', 3, 2, 1d0, a, 3, xt, 1, 1d0, z, 1)
  bad = bad .or. any(z /= 1d0 + matmul(xt, a))
  call eagemv('N', 3, 2, 1d0, a, 3, x, -1, 0d0, y, 1)
  bad = bad .or. any(y /= (/ 3d0, 3d0, 3d0 /))
  if (bad) then
    print *, 'FAIL'
    stop 1
  end if
  print *, 'ok'
end program dense_caller
