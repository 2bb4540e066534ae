! Reads each case of read_cases.txt (from standard input) with the Fortran
! runtime. A case line is
!   items;format;record|record|...
! items: one letter per item, r (64-bit real) or t (text of 10 characters);
! texts only first or last. The records are written to a scratch file,
! which is then read by one formatted read of the format. Each case is
! echoed as "#case <line>" and followed by one result line:
!   <iostat> <hex of each real> [<text>] next=[<the following record>]
program read_records
  implicit none
  character(len=4000) :: line, fmt, recs
  character(len=40) :: items
  character(len=10) :: t
  character(len=4000) :: next
  real(8) :: v(20)
  integer :: ios, ios2, p1, p2, n, k, i, nr
  integer(8) :: bits

  do
    read(*, '(A)', iostat=ios) line
    if (ios /= 0) exit
    if (len_trim(line) == 0 .or. line(1:1) == '!') cycle
    p1 = index(line, ';')
    p2 = p1 + index(line(p1+1:), ';')
    items = line(1:p1-1)
    fmt = line(p1+1:p2-1)
    recs = line(p2+1:)
    ! the scratch file: records split at '|'; "<none>" is an empty file
    open(20, file='read_records.tmp', status='replace')
    if (trim(recs) /= '<none>') then
      k = 1
      nr = len_trim(recs)
      do i = 1, nr + 1
        if (i == nr + 1 .or. recs(i:i) == '|') then
          write(20, '(A)') recs(k:i-1)
          k = i + 1
        end if
      end do
    end if
    close(20)
    open(20, file='read_records.tmp', status='old')
    v = -7777.0d0
    t = '##########'
    n = len_trim(items)
    if (items == '-') n = 0
    if (n == 0) then
      read(20, fmt, iostat=ios)
    else if (items(1:1) == 't' .and. n == 1) then
      read(20, fmt, iostat=ios) t
    else if (items(1:1) == 't') then
      read(20, fmt, iostat=ios) t, v(1:n-1)
    else if (items(n:n) == 't') then
      read(20, fmt, iostat=ios) v(1:n-1), t
    else
      read(20, fmt, iostat=ios) v(1:n)
    end if
    next = '<eof>'
    if (ios == 0) then
      read(20, '(A)', iostat=ios2) next
      if (ios2 /= 0) next = '<eof>'
    end if
    close(20, status='delete')
    write(*, '(A,A)') '#case ', trim(line)
    write(*, '(I0)', advance='no') ios
    if (ios == 0) then
      do i = 1, n
        if (items(i:i) == 'r') then
          bits = transfer(v(min(i, 20) - merge(1, 0, items(1:1) == 't')), bits)
          write(*, '(1X,Z16.16)', advance='no') bits
        else
          write(*, '(A,A,A)', advance='no') ' [', t, ']'
        end if
      end do
      write(*, '(A,A,A)', advance='no') ' next=[', trim(next), ']'
    end if
    write(*, '(A)') ''
  end do
end program read_records
