# Configuration Manager configuration item, discovery script (PowerShell,
# data type String, run as 64-bit). Its compliance rule: the value equals
# "Compliant". Anything else names the finding codes:
# "NonCompliant: policy-overrides". A non-zero exit is a discovery failure,
# so the script exits 0 whenever the check could run.
$ErrorActionPreference = 'Stop'

$hklm = [Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', [Microsoft.Win32.RegistryView]::Registry64)
$agent = $hklm.OpenSubKey('SOFTWARE\Tervia\Agent')
$folder = if ($agent -and $agent.GetValue('InstallPath')) { $agent.GetValue('InstallPath') }
          else { Join-Path $env:ProgramW6432 'Tervia\Agent' }
$output = & (Join-Path $folder 'pelorinctl.exe') check --format configmgr
if ($LASTEXITCODE -ne 0) { exit $LASTEXITCODE }
Write-Output (@($output)[0])
exit 0
