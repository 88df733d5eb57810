! Calls the adapters of the routing library the way a Fortran program does: plain external
! calls with every argument by reference and the hidden character lengths appended by the
! compiler, and an explicit bind(C) interface for the one adapter whose name is mixed case.
! Each result is compared with a value known from a worked example or by construction; the
! program stops with a non-zero code at the first mismatch.
program call_adapters
  use, intrinsic :: iso_c_binding, only: c_int, c_double, c_char
  implicit none

  interface
    subroutine route_prism(intervalMinutes, reachLength, channelSlope, manningN, &
        sectionShape, bottomWidth, sideSlope, initialFlowCount, fromProfile, initialFlows, &
        finalFlows, ordinateCount, inflows, lateralInflows, outflows, computationInterval, &
        subreachLength, peakOutflow, peakTimeMinutes, maxCelerity, initialStorage, &
        finalStorage, inflowVolume, outflowVolume, status, message, messageLength, &
        shapeLength) bind(C, name='RouteMuskingumCungePrism_')
      import :: c_int, c_double, c_char
      integer(c_int), intent(in) :: intervalMinutes, initialFlowCount, fromProfile
      integer(c_int), intent(in) :: ordinateCount
      real(c_double), intent(in) :: reachLength, channelSlope, manningN, bottomWidth, sideSlope
      character(kind=c_char), dimension(*), intent(in) :: sectionShape
      real(c_double), dimension(*), intent(in) :: initialFlows, inflows, lateralInflows
      real(c_double), dimension(*), intent(out) :: finalFlows, outflows
      real(c_double), intent(out) :: computationInterval, subreachLength, peakOutflow
      real(c_double), intent(inout) :: peakTimeMinutes
      real(c_double), intent(out) :: maxCelerity, initialStorage, finalStorage
      real(c_double), intent(out) :: inflowVolume, outflowVolume
      integer(c_int), intent(out) :: status
      character(kind=c_char), dimension(*), intent(inout) :: message
      integer(c_int), value :: messageLength, shapeLength
    end subroutine route_prism
  end interface

  external :: channeldepthprism, channeldepthcircle, decodeerrorcode, interpolatelinear
  external :: changetimeinterval, routemuskingum

  double precision, parameter :: quoted = 5.0d-4, exact = 1.0d-9, routed = 5.0d-7
  character(len=80) :: message
  character(len=10) :: routine_name
  integer :: status, message_number, severity, i
  double precision :: depth, area, top_width, celerity

  ! Normal depth in a rectangle 10 m wide at 10 m3/s: 1.045 m, celerity 1.484 m/s.
  message = ' '
  call channeldepthprism(0.001d0, 0.03d0, 10.0d0, 0.0d0, 10.0d0, 0.0d0, depth, area, &
                         top_width, celerity, status, message)
  call expect_near('prism depth', depth, 1.045d0, quoted)
  call expect_near('prism celerity', celerity, 1.484d0, quoted)
  call expect_int('prism status', status, 0)
  call expect_text('prism message', message, ' ')

  ! A 1 m conduit at 2 m3/s is above its area limit: the depth is held at 0.771 m.
  call channeldepthcircle(0.005d0, 0.013d0, 1.0d0, 2.0d0, depth, area, top_width, celerity, &
                          status, message)
  call expect_near('circle depth', depth, 0.7710000276565552d0, exact)
  call expect_near('circle top width', top_width, 0.8404d0, quoted)
  call expect_int('circle status', status, 22 * 512 + 2 * 8 + 2)
  call expect_text('circle first line', message(1:50), &
                   'Flow area is greater than 0.65 * diameter-squared.')
  call expect_text('circle line feed', message(51:51), achar(10))

  ! A status decoded into a 10-character name field.
  call decodeerrorcode(7268, routine_name, message_number, severity)
  call expect_text('decoded name', routine_name, 'RouteMuski')
  call expect_int('decoded message number', message_number, 12)
  call expect_int('decoded severity', severity, 4)

  call check_interpolation()
  call check_resampling()
  call check_muskingum()
  call check_prism_routing()

  print '(a)', 'all adapters answered as expected'

contains

  subroutine check_interpolation()
    ! The line y = 10 x read at 2.5.
    double precision :: x_table(2) = [0.0d0, 10.0d0], y_table(2) = [0.0d0, 100.0d0]
    double precision :: x_values(1) = [2.5d0], y_values(1)
    message = ' '
    call interpolatelinear(2, x_table, y_table, 1, x_values, y_values, status, message)
    call expect_near('interpolated value', y_values(1), 25.0d0, exact)
    call expect_int('interpolation status', status, 0)
  end subroutine check_interpolation

  subroutine check_resampling()
    ! A straight line at 60-minute spacing read every 30 minutes.
    double precision :: old_series(3) = [0.0d0, 10.0d0, 20.0d0], new_series(5)
    call changetimeinterval(60.0d0, 30.0d0, 3, 5, old_series, new_series)
    do i = 1, 5
      call expect_near('resampled ordinate', new_series(i), 5.0d0 * (i - 1), exact)
    end do
  end subroutine check_resampling

  subroutine check_muskingum()
    ! K = 1 h, x = 0.2, one step from 10 m3/s, hourly ordinates.
    double precision :: initial(1) = [10.0d0], final(1)
    double precision :: inflows(5) = [10.0d0, 20.0d0, 30.0d0, 20.0d0, 10.0d0], outflows(5)
    double precision :: expected(5) = [10.0d0, 12.307692d0, 20.532544d0, 25.507510d0, &
                                       18.963272d0]
    message = ' '
    call routemuskingum(60, 1.0d0, 0.2d0, 1, initial, final, 5, inflows, outflows, status, &
                        message)
    do i = 1, 5
      call expect_near('Muskingum outflow', outflows(i), expected(i), routed)
    end do
    call expect_int('Muskingum status', status, 0)
  end subroutine check_muskingum

  subroutine check_prism_routing()
    ! A steady 8 m3/s through a 20 km reach of a 4 m conduit comes out unchanged.
    character(len=6) :: shape = 'CIRCLE'
    double precision :: initial(3), final(3), inflows(6), lateral(6), outflows(6)
    double precision :: dt, dx, peak, peak_time, max_celerity, storage_start, storage_end
    double precision :: volume_in, volume_out
    initial = 8.0d0
    inflows = 8.0d0
    lateral = 0.0d0
    peak_time = -1.0d0
    message = ' '
    call route_prism(60, 20000.0d0, 0.001d0, 0.035d0, shape, 4.0d0, -1.0d0, 3, 0, initial, &
                     final, 6, inflows, lateral, outflows, dt, dx, peak, peak_time, &
                     max_celerity, storage_start, storage_end, volume_in, volume_out, status, &
                     message, len(message), len(shape))
    do i = 1, 6
      call expect_near('conduit outflow', outflows(i), 8.0d0, exact)
    end do
    call expect_int('conduit status', status, 0)
    call expect_text('conduit message', message, ' ')
    call expect_near('conduit volumes', volume_out, volume_in, exact * volume_in)
  end subroutine check_prism_routing

  subroutine expect_near(what, actual, expected, tolerance)
    character(len=*), intent(in) :: what
    double precision, intent(in) :: actual, expected, tolerance
    if (.not. (abs(actual - expected) <= tolerance)) then
      print '(a, a, es24.16, a, es24.16)', what, ': got ', actual, ', expected ', expected
      error stop 1
    end if
  end subroutine expect_near

  subroutine expect_int(what, actual, expected)
    character(len=*), intent(in) :: what
    integer, intent(in) :: actual, expected
    if (actual /= expected) then
      print '(a, a, i0, a, i0)', what, ': got ', actual, ', expected ', expected
      error stop 1
    end if
  end subroutine expect_int

  subroutine expect_text(what, actual, expected)
    character(len=*), intent(in) :: what, actual, expected
    if (actual /= expected) then
      print '(a, a, a, a, a, a)', what, ': got "', actual, '", expected "', expected, '"'
      error stop 1
    end if
  end subroutine expect_text

end program call_adapters
