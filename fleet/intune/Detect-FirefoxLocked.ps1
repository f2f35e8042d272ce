# Intune custom compliance discovery script: prints the agent's Firefox
# verdict as one compressed line of JSON, whose settings
# pelorin-firefox-rules.json judges.
#
# Intune runs it as SYSTEM under 32-bit PowerShell by default, where
# $env:ProgramFiles is the x86 folder and the registry is its 32-bit view:
# both are asked for in their 64-bit form, where the agent is installed.
$ErrorActionPreference = 'Stop'

function Find-Pelorinctl {
    $candidates = @()
    $hklm = [Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', [Microsoft.Win32.RegistryView]::Registry64)
    $agent = $hklm.OpenSubKey('SOFTWARE\Tervia\Agent')
    if ($agent -and $agent.GetValue('InstallPath')) {
        $candidates += Join-Path $agent.GetValue('InstallPath') 'pelorinctl.exe'
    }
    $programFiles = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
    $candidates += Join-Path $programFiles 'Tervia\Agent\pelorinctl.exe'
    foreach ($path in $candidates) {
        if (Test-Path -LiteralPath $path -PathType Leaf) { return $path }
    }
    throw "pelorinctl.exe is not installed (looked in: $($candidates -join ', '))"
}

$output = & (Find-Pelorinctl) check --format intune
# 0: the check ran, whatever it found; the rules judge the settings.
if ($LASTEXITCODE -ne 0) { exit $LASTEXITCODE }
Write-Output (@($output)[0])
exit 0
