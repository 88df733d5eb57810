! Writes the number text of each value read from standard input (one value a line, as the 16
! hexadecimal digits of its bits) with the real edit descriptors: (E16.10) and (I3) find the
! power of ten of the leading digit, then (1PE11.4), (F10.0), (F9.0) or (F9.n) writes it.
! The only liberty of the compiler, an optional zero before the decimal point, is removed.
program number_text
  implicit none
  integer(8) :: bits
  real(8) :: v
  character(len=16) :: work
  character(len=7) :: form
  integer :: e, d, n, status, first, last

  do
    read (*, '(Z16)', iostat=status) bits
    if (status /= 0) exit
    v = transfer(bits, v)
    if (bits == 0_8 .or. bits == ishft(1_8, 63)) then
      write (*, '(A)') '0.0'
      cycle
    end if
    write (work, '(E16.10)') v
    read (work(14:16), '(I3)') e
    d = e - 1
    work = ' '
    n = 0
    if (d > 7 .or. d < -3) then
      write (work, '(1PE11.4)') v
    else if (d == 7) then
      write (work, '(F10.0)') v
    else if (d >= 3) then
      write (work, '(F9.0)') v
    else
      n = 3 - d
      write (form, '(A,I1,A)') '(F9.', n, ')'
      write (work, form) v
    end if
    first = verify(work, ' ')
    last = len_trim(work)
    if (n > 0 .and. work(first:first) /= '*') then
      do while (work(last:last) == '0')
        last = last - 1
      end do
    end if
    if (work(first:first+1) == '0.') then
      first = first + 1
    else if (work(first:first+2) == '-0.') then
      work(first+1:first+1) = '-'
      first = first + 1
    end if
    write (*, '(A)') work(first:last)
  end do
end program number_text
