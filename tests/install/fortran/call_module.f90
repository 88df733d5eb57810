! A Fortran caller of the installed library through its module: every one of the eleven
! routines called by its own name with plain Fortran arguments (texts of any length, the
! Muskingum-Cunge choice as a logical). Each result is compared with a worked example or an
! answer known by construction; the program stops with a non-zero code at the first mismatch.
program call_module
  use tovalin
  implicit none

  double precision, parameter :: quoted = 5.0d-4, exact = 1.0d-9, routed = 5.0d-7
  ! The eight-point section of the worked examples: a 10 m main channel 5 m deep between
  ! 20 m overbanks.
  double precision, parameter :: stations(8) = [0d0, 10d0, 20d0, 20d0, 30d0, 30d0, 40d0, 50d0]
  double precision, parameter :: elevations(8) = [10d0, 5d0, 5d0, 0d0, 0d0, 5d0, 5d0, 10d0]
  double precision, parameter :: roughness(3) = [0.08d0, 0.04d0, 0.08d0]
  ! A linear reservoir, K = 3600 s: storage 3600 times the outflow, elevation outflow / 50.
  double precision, parameter :: storage(3) = [0d0, 180000d0, 360000d0]
  double precision, parameter :: outflow(3) = [0d0, 50d0, 100d0]
  double precision, parameter :: elevation(3) = [0d0, 1d0, 2d0]

  character(len=80) :: message
  character(len=32) :: routine_name
  integer :: status, message_number, severity, i
  double precision :: depth, area, top_width, celerity
  double precision :: dt, dx, peak, peak_time, max_celerity, storage_start, storage_end
  double precision :: volume_in, volume_out
  double precision :: profile(3), final_profile(3), hydrograph(6), lateral(6), routed_flows(6)
  double precision :: step_final(2), y_values(1), resampled(5)

  ! Normal depth in a rectangle 10 m wide at 10 m3/s: 1.045 m, celerity 1.484 m/s.
  message = ' '
  call ChannelDepthPrism(0.001d0, 0.03d0, 10.0d0, 0.0d0, 10.0d0, 0.0d0, depth, area, &
                         top_width, celerity, status, message)
  call expect_near('prism depth', depth, 1.045d0, quoted)
  call expect_near('prism celerity', celerity, 1.484d0, quoted)
  call expect_int('prism status', status, 0)
  call expect_text('prism message', message, ' ')

  ! Normal depth in the eight-point section at 20 m3/s: 1.9962 m, top width 10 m.
  call ChannelDepth8Point(0.001d0, stations, elevations, roughness, 20.0d0, 0.0d0, depth, &
                          area, top_width, celerity, status, message)
  call expect_near('eight-point depth', depth, 1.9962d0, 1.0d-4)
  call expect_near('eight-point top width', top_width, 10.0d0, exact)
  call expect_int('eight-point status', status, 0)

  ! A 1 m conduit at 2 m3/s runs full: depth held at 0.771 m, a two-line warning that the
  ! module cuts at the caller's 60 characters.
  block
    character(len=60) :: short_message
    short_message = ' '
    call ChannelDepthCircle(0.005d0, 0.013d0, 1.0d0, 2.0d0, depth, area, top_width, &
                            celerity, status, short_message)
    call expect_near('circle depth', depth, 0.7710000276565552d0, exact)
    call expect_int('circle status', status, 22 * 512 + 2 * 8 + 2)
    call expect_text('circle first line', short_message(1:50), &
                     'Flow area is greater than 0.65 * diameter-squared.')
    call expect_text('circle second line', short_message(51:60), achar(10) // 'Depth and')
  end block

  ! The status of a Muskingum refusal, decoded into a name field that holds any name.
  call DecodeErrorCode(7268, routine_name, message_number, severity)
  call expect_text('decoded name', routine_name, 'RouteMuskingum')
  call expect_int('decoded message number', message_number, 12)
  call expect_int('decoded severity', severity, 4)

  ! The line y = 10 x read at 2.5; then no value at all, which leaves an undefined result.
  call InterpolateLinear(2, [0d0, 10d0], [0d0, 100d0], 1, [2.5d0], y_values, status, message)
  call expect_near('interpolated value', y_values(1), 25.0d0, exact)
  call InterpolateLinear(2, [0d0, 10d0], [0d0, 100d0], 0, [2.5d0], y_values, status, message)
  call expect_true('no value is undefined', tovalin_is_undefined(y_values(1)))
  call expect_int('no value status', status, 25 * 512 + 14 * 8 + 4)
  call expect_true('NaN reads as undefined', tovalin_is_undefined(ieee_nan()))
  call expect_true('a flow is defined', .not. tovalin_is_undefined(25.0d0))

  ! A straight line at 60-minute spacing read every 30 minutes.
  call ChangeTimeInterval(60.0d0, 30.0d0, 3, 5, [0d0, 10d0, 20d0], resampled)
  do i = 1, 5
    call expect_near('resampled ordinate', resampled(i), 5.0d0 * (i - 1), exact)
  end do

  ! Muskingum, K = 1 h, x = 0.2, one step from 10 m3/s, hourly ordinates.
  message = ' '
  call RouteMuskingum(60, 1.0d0, 0.2d0, 1, [10d0], step_final, 5, &
                      [10d0, 20d0, 30d0, 20d0, 10d0], routed_flows, status, message)
  call expect_near('Muskingum outflow 2', routed_flows(2), 12.307692d0, routed)
  call expect_near('Muskingum outflow 5', routed_flows(5), 18.963272d0, routed)
  call expect_int('Muskingum status', status, 0)

  ! Modified Puls, two steps: a steady 50 m3/s passes unchanged.
  call RoutePulsChannel(60, 3, storage, outflow, 2, [50d0, 50d0], step_final, 4, &
                        [50d0, 50d0, 50d0, 50d0], routed_flows, status, message)
  call expect_near('Puls outflow', routed_flows(4), 50.0d0, exact)
  call expect_int('Puls status', status, 0)

  ! With a loss of S / D * 1e-4 = 18 m3/s at any outflow, a net 32 is a gross 50.
  call RoutePulsChannelWithLoss(60, 3, storage, outflow, elevation, 0.0d0, 1.0d-4, 1, [32d0], &
                                step_final, 3, [50d0, 50d0, 50d0], routed_flows, status, message)
  call expect_near('net outflow', routed_flows(3), 32.0d0, exact)
  call expect_near('gross outflow', step_final(1), 50.0d0, exact)
  call expect_int('loss status', status, 0)

  ! Eight-point Muskingum-Cunge of one ordinate: the outflow is the profile's downstream end.
  call RouteMuskingumCunge8Point(60, 1000.0d0, 0.001d0, stations, elevations, roughness, 2, &
      .false., [30d0, 40d0], final_profile, 1, [30d0], [0d0], routed_flows, dt, dx, peak, &
      peak_time, max_celerity, storage_start, storage_end, volume_in, volume_out, status, &
      message)
  call expect_near('eight-point routing outflow', routed_flows(1), 40.0d0, exact)
  call expect_near('eight-point final profile', final_profile(2), 40.0d0, exact)
  call expect_int('eight-point routing status', status, 0)

  ! A steady 8 m3/s through 20 km of a 4 m conduit comes out unchanged; asked to take its
  ! subreaches from the three-point profile, the routine uses two of 10 km.
  profile = 8.0d0
  hydrograph = 8.0d0
  lateral = 0.0d0
  call RouteMuskingumCungePrism(60, 20000.0d0, 0.001d0, 0.035d0, 'CIRCLE', 4.0d0, 0.0d0, 3, &
      .true., profile, final_profile, 6, hydrograph, lateral, routed_flows, dt, dx, peak, &
      peak_time, max_celerity, storage_start, storage_end, volume_in, volume_out, status, &
      message)
  do i = 1, 6
    call expect_near('conduit outflow', routed_flows(i), 8.0d0, exact)
  end do
  call expect_near('subreach length', dx, 10000.0d0, exact)
  call expect_near('conduit volumes', volume_out, volume_in, exact * volume_in)
  call expect_int('conduit status', status, 0)

  print '(a)', 'all eleven routines answered as expected through the module'

contains

  function ieee_nan() result(nan)
    use, intrinsic :: ieee_arithmetic, only: ieee_value, ieee_quiet_nan
    double precision :: nan
    nan = ieee_value(nan, ieee_quiet_nan)
  end function ieee_nan

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

  subroutine expect_true(what, condition)
    character(len=*), intent(in) :: what
    logical, intent(in) :: condition
    if (.not. condition) then
      print '(a, a)', what, ': not so'
      error stop 1
    end if
  end subroutine expect_true

end program call_module
