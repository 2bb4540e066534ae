! Writes the records of each case of write_cases.txt (read from standard
! input) with the Fortran runtime. A case line is
!   kind;count;format;values
! kind: i (integers), f (32-bit reals), d (64-bit reals), s (texts, up to
! three, written trimmed), p (integer and 64-bit real pairs); the values are
! read list-directed. Each case is echoed as "#case <line>" and followed by
! the records it produced.
program write_records
  implicit none
  type :: pair
    integer :: i
    real(8) :: d
  end type
  character(len=1000) :: line, fmt, vals
  character(len=1) :: kind
  integer :: ios, n, p1, p2, p3
  integer :: iv(20000)
  real(4) :: fv(20000)
  real(8) :: dv(20000)
  character(len=100) :: sv(3)
  type(pair) :: pv(100)

  do
    read(*, '(A)', iostat=ios) line
    if (ios /= 0) exit
    if (len_trim(line) == 0 .or. line(1:1) == '!') cycle
    p1 = index(line, ';')
    p2 = p1 + index(line(p1+1:), ';')
    p3 = p2 + index(line(p2+1:), ';')
    kind = line(1:1)
    read(line(p1+1:p2-1), *) n
    fmt = line(p2+1:p3-1)
    vals = line(p3+1:)
    write(*, '(A,A)') '#case ', trim(line)
    select case (kind)
    case ('i')
      if (n > 0) read(vals, *) iv(1:n)
      write(*, fmt) iv(1:n)
    case ('f')
      if (n > 0) read(vals, *) fv(1:n)
      write(*, fmt) fv(1:n)
    case ('d')
      if (n > 0) read(vals, *) dv(1:n)
      write(*, fmt) dv(1:n)
    case ('r')
      ! n copies of 1, 2, 3, ... as 32-bit reals
      fv(1:n) = [(real(p1), p1 = 1, n)]
      write(*, fmt) fv(1:n)
    case ('s')
      read(vals, *) sv(1:n)
      select case (n)
      case (1)
        write(*, fmt) trim(sv(1))
      case (2)
        write(*, fmt) trim(sv(1)), trim(sv(2))
      case default
        write(*, fmt) trim(sv(1)), trim(sv(2)), trim(sv(3))
      end select
    case ('p')
      read(vals, *) pv(1:n)
      write(*, fmt) pv(1:n)
    end select
  end do
end program write_records
